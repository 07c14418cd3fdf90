#include "app/ProgramSettings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "formats/FileLock.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Reads `text` as config.xml over settings that differ from the defaults where noted.
ProgramSettings ReadFrom(const std::string& text, bool* result = nullptr) {
  TempDir dir;
  WriteFile(dir / "config.xml", text);
  ProgramSettings settings;
  const bool ok = settings.ReadSettings((dir / "config.xml").string()).ok();
  if (result != nullptr) *result = ok;
  return settings;
}

TEST(ProgramSettings, MissingFileKeepsTheDefaults) {
  TempDir dir;
  ProgramSettings settings;
  const Status missing = settings.ReadSettings((dir / "config.xml").string());
  EXPECT_EQ(missing.path(), (dir / "config.xml").string());
  EXPECT_EQ(missing.sysError(), ENOENT);
  EXPECT_TRUE(settings.showSplash());
  EXPECT_FALSE(settings.runMissed());
  EXPECT_EQ(settings.ReadSettings(dir.path().string()).sysError(), EISDIR);  // a folder cannot be read
}

TEST(ProgramSettings, WhatTheFileHolds) {
  bool ok = false;
  ProgramSettings s =
      ReadFrom("<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n", &ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(s.showSplash());
  EXPECT_TRUE(s.runMissed());

  s = ReadFrom("<config><SHOWSPLASH>0</SHOWSPLASH><RUNMISSED>1</RUNMISSED></config>", &ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(s.showSplash());
  EXPECT_FALSE(s.runMissed());

  s = ReadFrom("<CONFIG><SHOWSPLASH>0</SHOWSPLASH></CONFIG>");
  EXPECT_FALSE(s.showSplash());
  EXPECT_FALSE(s.runMissed());

  // Children are searched forward only: RUNMISSED before SHOWSPLASH is not found.
  s = ReadFrom("<CONFIG><RUNMISSED>1</RUNMISSED><SHOWSPLASH>0</SHOWSPLASH></CONFIG>");
  EXPECT_FALSE(s.showSplash());
  EXPECT_FALSE(s.runMissed());

  // Anything but exactly "1" is false.
  s = ReadFrom("<CONFIG><SHOWSPLASH> 1</SHOWSPLASH><RUNMISSED>01</RUNMISSED></CONFIG>");
  EXPECT_FALSE(s.showSplash());
  EXPECT_FALSE(s.runMissed());

  s = ReadFrom("<CONFIG><SHOWSPLASH>0</SHOWSPLASH>", &ok);  // does not parse
  EXPECT_TRUE(ok);
  EXPECT_TRUE(s.showSplash());
}

TEST(ProgramSettings, WritesFiveLinesAndReadsThemBack) {
  TempDir dir;
  const auto path = (dir / "config.xml").string();
  WriteFile(path, "old");
  ProgramSettings settings;
  settings.setShowSplash(false);
  settings.setRunMissed(true);
  ASSERT_TRUE(settings.WriteSettings(path).ok());
  EXPECT_EQ(ReadFile(path), "<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n");
  ProgramSettings back;
  ASSERT_TRUE(back.ReadSettings(path).ok());
  EXPECT_FALSE(back.showSplash());
  EXPECT_TRUE(back.runMissed());
  back.ResetSettings();
  EXPECT_TRUE(back.showSplash());
  EXPECT_FALSE(back.runMissed());
}

TEST(ProgramSettings, TheTraySettingFollowsTheLinesOlderCopiesRead) {
  TempDir dir;
  const auto path = (dir / "config.xml").string();
  ProgramSettings settings;
  settings.setKeepInTray(true);
  ASSERT_TRUE(settings.WriteSettings(path).ok());
  // An older copy searches SHOWSPLASH, then RUNMISSED, forward: both stand where they stood.
  EXPECT_EQ(ReadFile(path),
            "<CONFIG>\r\n<SHOWSPLASH>1</SHOWSPLASH>\r\n<RUNMISSED>0</RUNMISSED>\r\n<KEEPINTRAY>1</KEEPINTRAY>\r\n"
            "</CONFIG>\r\n");
  ProgramSettings back;
  ASSERT_TRUE(back.ReadSettings(path).ok());
  EXPECT_TRUE(back.keepInTray());
  // The file an older copy wrote leaves it off.
  EXPECT_FALSE(
      ReadFrom("<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n").keepInTray());
}

TEST(ProgramSettings, FailedWriteReportsAndLeavesNoTemporaryFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "config.xml");  // cannot be replaced by a file
  ProgramSettings settings;
  const Status replaced = settings.WriteSettings((dir / "config.xml").string());
  EXPECT_EQ(replaced.code(), StatusCode::IoError);
  EXPECT_EQ(replaced.path(), (dir / "config.xml").string());
  EXPECT_EQ(replaced.sysError(), EISDIR);
  EXPECT_EQ(settings.WriteSettings((dir / "none" / "config.xml").string()).sysError(), ENOENT);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    entries += entry.path() != CFileLock::LockPathOf((dir / "config.xml").string());
  }
  EXPECT_EQ(entries, 1);
}

// Two programs saving their options at once replace the file one after the other.
TEST(ProgramSettings, WriteWaitsForTheLockOfAnotherWriter) {
  TempDir dir;
  const std::string path = (dir / "config.xml").string();
  auto held = std::make_unique<CFileLock>(path);
  ASSERT_TRUE(held->Held());
  std::atomic<bool> written{false};
  std::thread writer([&] { written = ProgramSettings().WriteSettings(path).ok(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(std::filesystem::exists(path)) << "written while another writer held the lock";
  held.reset();
  writer.join();
  EXPECT_TRUE(written);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(ProgramSettings, BareNameIsRelativeToTheWorkingDirectory) {
  TempDir dir;
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ProgramSettings settings;
  settings.setRunMissed(true);
  const bool written = settings.WriteSettings(ProgramSettings::kFileName).ok();
  ProgramSettings back;
  const bool read = back.ReadSettings(ProgramSettings::kFileName).ok();
  std::filesystem::current_path(before);
  EXPECT_TRUE(written);
  EXPECT_TRUE(read);
  EXPECT_TRUE(back.runMissed());
  EXPECT_TRUE(std::filesystem::exists(dir / "config.xml"));
}

}  // namespace
}  // namespace tarnwick
