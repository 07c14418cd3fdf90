#include "app/ProgramSettings.h"

#include "formats/FileIo.h"
#include "formats/XmlDocument.h"

namespace tarnwick {
namespace {

constexpr const char* kRoot = "CONFIG";
constexpr const char* kShowSplash = "SHOWSPLASH";
constexpr const char* kRunMissed = "RUNMISSED";

}  // namespace

void ProgramSettings::ResetSettings() {
  showSplash_ = true;
  runMissed_ = false;
}

bool ProgramSettings::ReadSettings(const std::string& fileName) {
  std::string text;
  if (!ReadWholeFile(fileName, text).ok()) return false;
  CXmlDocument document;
  document.LoadText(text);
  if (!document.FindElement(kRoot)) return true;
  // Children are searched forward only: RUNMISSED is looked for after SHOWSPLASH.
  if (document.FindChildElement(kShowSplash)) showSplash_ = document.GetChildText() == "1";
  if (document.FindChildElement(kRunMissed)) runMissed_ = document.GetChildText() == "1";
  return true;
}

std::string ProgramSettings::BuildText() const {
  CXmlDocument document;
  document.LoadText();
  document.AddElement(kRoot);
  document.AddChildElement(kShowSplash, showSplash_ ? "1" : "0");
  document.AddChildElement(kRunMissed, runMissed_ ? "1" : "0");
  return document.GetText();
}

bool ProgramSettings::WriteSettings(const std::string& fileName, std::error_code& error) const {
  const IoResult written = ReplaceFile(fileName, BuildText(), 0666);
  if (!written.ok()) error = std::error_code(written.sysError, std::system_category());
  return written.ok();
}

bool ProgramSettings::WriteSettings(const std::string& fileName) const {
  std::error_code error;
  return WriteSettings(fileName, error);
}

}  // namespace tarnwick
