#include "app/ProgramSettings.h"

#include "app/FormatTexts.h"
#include "formats/FileIo.h"
#include "formats/FileLock.h"
#include "formats/PartFile.h"
#include "formats/XmlDocument.h"

namespace tarnwick {
namespace {

constexpr const char* kRoot = "CONFIG";
constexpr const char* kShowSplash = "SHOWSPLASH";
constexpr const char* kRunMissed = "RUNMISSED";
// Added after the two elements older copies look for: they search forward for SHOWSPLASH, then
// RUNMISSED, and never see it; a copy that saves its options drops it (the tray is then off).
constexpr const char* kKeepInTray = "KEEPINTRAY";

}  // namespace

void ProgramSettings::ResetSettings() {
  showSplash_ = true;
  runMissed_ = false;
  keepInTray_ = false;
}

Status ProgramSettings::ReadSettings(const std::string& fileName) {
  std::string text;
  if (const IoResult read = ReadWholeFile(fileName, kSettingsFileLimit, text); !read.ok()) {
    return FileStatus(fileName, read);
  }
  CXmlDocument document;
  document.LoadText(text);
  if (!document.FindElement(kRoot)) return {};
  // Children are searched forward only: RUNMISSED is looked for after SHOWSPLASH.
  if (document.FindChildElement(kShowSplash)) showSplash_ = document.GetChildText() == "1";
  if (document.FindChildElement(kRunMissed)) runMissed_ = document.GetChildText() == "1";
  if (document.FindChildElement(kKeepInTray)) keepInTray_ = document.GetChildText() == "1";
  return {};
}

std::string ProgramSettings::BuildText() const {
  CXmlDocument document;
  document.LoadText();
  document.AddElement(kRoot);
  document.AddChildElement(kShowSplash, showSplash_ ? "1" : "0");
  document.AddChildElement(kRunMissed, runMissed_ ? "1" : "0");
  // Only when on, so the file of someone who never uses the tray stays the five lines it always was.
  if (keepInTray_) document.AddChildElement(kKeepInTray, "1");
  return document.GetText();
}

Status ProgramSettings::WriteSettings(const std::string& fileName) const {
  // Under the lock that every writer of the file takes, so two programs saving their options at
  // once replace the file one after the other.
  const CFileLock lock(fileName);
  const IoResult written = ReplaceFile(fileName, BuildText(), 0666);
  return written.ok() ? Status() : Status::IoError(fileName, written.sysError);
}

}  // namespace tarnwick
