#include "formats/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 0777;
}

TEST(IniFileLoad, MissingFileReadsEmptyAndOnlySaveCreatesItForTheOwnerOnly) {
  TempDir dir;
  CIniFile ini;
  ASSERT_TRUE(ini.Load((dir / "new.ini").string(), kAccountFileLimit, false).ok());
  EXPECT_EQ(ini.GetValue("S", "K", "dflt"), "dflt");
  EXPECT_EQ(ini.LastSection(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.ini")) << "a read never creates the file";
  ini.SetValue("S", "PASSWORD", "secret");
  EXPECT_TRUE(ini.Save().ok());
  EXPECT_EQ(ModeOf(dir / "new.ini"), 0600u);
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[S]\nPASSWORD=secret\n");
}

TEST(IniFileLoad, UnopenablePathFailsWithTheSystemsReason) {
  TempDir dir;
  CIniFile ini;
  EXPECT_EQ(ini.Load((dir / "missing" / "x.ini").string(), kAccountFileLimit, false).sysError, ENOENT);
  EXPECT_EQ(ini.GetValue("S", "K", "d"), "d");
  EXPECT_TRUE(ini.Path().empty());
}

TEST(IniFileLoad, LinesAsTheyStand) {
  CIniFile ini;
  ini.LoadFromText(
      "lead=1\r\n"
      "\r\n"
      "[Sec]   \r\n"
      "a = b\r\n"
      ";comment=c\n"
      "  indented=d\n"
      "path=C:\\x;old\n"
      "twice=first\n"
      "TWICE=second\n"
      "novalue\n"
      "=orphan\n"
      "[ spaced ]\n"
      "k=v=w\n"
      "[sec]\n"
      "hidden=1\n");
  EXPECT_EQ(ini.GetValue(" ", "lead"), "1");
  EXPECT_EQ(ini.GetValue("sec", "a"), "");
  EXPECT_EQ(ini.GetValue("SEC", "a "), " b");
  EXPECT_EQ(ini.GetValue("Sec", ";comment"), "c");
  EXPECT_EQ(ini.GetValue("Sec", "  indented"), "d");
  EXPECT_EQ(ini.GetValue("Sec", "path"), "C:\\x");
  EXPECT_EQ(ini.GetValue("Sec", "twice"), "second");
  EXPECT_EQ(ini.GetValue("Sec", "novalue", "d"), "");
  EXPECT_EQ(ini.GetValue("Sec", "", "d"), "orphan");
  EXPECT_EQ(ini.GetValue(" spaced ", "k"), "v=w");
  EXPECT_EQ(ini.GetValue("spaced", "k", "none"), "none");
  // The first of two equal sections answers; the second is kept.
  EXPECT_EQ(ini.GetValue("sec", "hidden", "none"), "none");
  EXPECT_EQ(ini.LastSection(), 3);
}

TEST(IniFileLoad, SemicolonCutAtTheLastOne) {
  CIniFile ini;
  ini.LoadFromText("[S]\na=x ; y ; z\nb=plain\n");
  EXPECT_EQ(ini.GetValue("S", "a"), "x ; y ");
  EXPECT_EQ(ini.GetValue("S", "b"), "plain");
}

TEST(IniFileSave, WritesBackWholeAndOnlyWhenModified) {
  TempDir dir;
  const auto path = dir / "a.ini";
  const std::string original = "top=1\r\n\r\n[S]\r\n=empty\r\nk=v ; note\r\n[S]\r\nk=2\r\n";
  WriteFile(path, original);
  {
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path.string(), kAccountFileLimit, true).ok());
    EXPECT_TRUE(ini.Save().ok());        // nothing to write
    ini.SetValue("s", "K", "V ; NOTE");  // letter case only: not worth a rewrite
    EXPECT_FALSE(ini.IsModified());
  }
  EXPECT_EQ(ReadFile(path), original);

  CIniFile ini;
  ASSERT_TRUE(ini.Load(path.string(), kAccountFileLimit, false).ok());
  ini.SetValue("S", "k", "new");
  ini.SetValue("S", "added", "x");
  ini.SetValue("Other", "o", "1");
  EXPECT_TRUE(ini.IsModified());
  ASSERT_TRUE(ini.Save().ok());
  EXPECT_TRUE(ini.IsModified());  // the mark stays after a save
  EXPECT_EQ(ReadFile(path), "top=1\n[S]\nempty\nk=new\nadded=x\n[S]\nk=2\n[Other]\no=1\n");
}

TEST(IniFileSave, DestructorSavesWhenAskedAndLoadSavesThePreviousFile) {
  TempDir dir;
  {
    CIniFile ini;
    ASSERT_TRUE(ini.Load((dir / "one.ini").string(), kAccountFileLimit, false).ok());
    ini.SetValue("A", "k", "1");
    ASSERT_TRUE(ini.Load((dir / "two.ini").string(), kAccountFileLimit, true).ok());  // one.ini is saved first
    EXPECT_FALSE(ini.IsModified());
    ini.SetValue("B", "k", "2");
  }
  EXPECT_EQ(ReadFile(dir / "one.ini"), "[A]\nk=1\n");
  EXPECT_EQ(ReadFile(dir / "two.ini"), "[B]\nk=2\n");
  {
    CIniFile ini;
    ASSERT_TRUE(ini.Load((dir / "one.ini").string(), kAccountFileLimit, false).ok());
    ini.SetValue("A", "k", "changed");
  }
  EXPECT_EQ(ReadFile(dir / "one.ini"), "[A]\nk=1\n");
}

TEST(IniFileSave, FailedSaveIsReportedAndLeavesOldFileAndNoLeftovers) {
  TempDir dir;
  CIniFile ini;
  ASSERT_TRUE(ini.Load((dir / "a.ini").string(), kAccountFileLimit, false).ok());
  ini.SetValue("S", "k", "v");
  std::filesystem::remove(dir / "a.ini");
  std::filesystem::create_directory(dir / "a.ini");  // the target cannot be replaced now
  EXPECT_EQ(ini.Save().sysError, EISDIR);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a.ini"));
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

// The sections a reader asks for hold what a whole load holds; the others are not kept at all.
TEST(IniFileLoadSections, KeepsTheNamedSectionsAsAWholeLoadReadsThem) {
  TempDir dir;
  // A padding section pushes "Wanted" across the 64 KiB pieces the file is read in.
  std::string text = "lead=1\n[Pad]\n";
  while (text.size() < 64 * 1024 - 20) text += "filler=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";
  text += "[wanted]\r\nCREATETIME=2026-01-02 03:04:05 ; note\nLASTRUN=a\nLASTRUN=b\n\n[Other]\nK=v\n";
  text += "[WANTED]\nEXTRA=x\n[Last]\nK=end-without-line-break";
  WriteFile(dir / "big.ini", text);
  CIniFile whole;
  ASSERT_TRUE(whole.Load((dir / "big.ini").string(), kCatalogueFileLimit, false).ok());
  CIniFile part;
  ASSERT_TRUE(part.LoadSections((dir / "big.ini").string(), kCatalogueFileLimit, {"Wanted", "last", " "}).ok());
  const std::vector<std::pair<const char*, const char*>> lookups{
      {"Wanted", "CREATETIME"}, {"wanted", "LASTRUN"}, {"WANTED", "EXTRA"}, {"Last", "K"}, {" ", "lead"}};
  for (const auto& [section, key] : lookups) {
    EXPECT_EQ(part.GetValue(section, key, "missing"), whole.GetValue(section, key, "missing")) << section << " " << key;
  }
  EXPECT_EQ(part.GetValue("Other", "K", "missing"), "missing");
  EXPECT_EQ(part.GetValue("Pad", "filler", "missing"), "missing");
  EXPECT_EQ(part.LastSection(), 3) << "the leading section and the three named ones, no others";
  EXPECT_EQ(part.ToText().find("filler"), std::string::npos);
}

TEST(IniFileLoadSections, AnEndlessLineIsDroppedNotHeld) {
  TempDir dir;
  WriteFile(dir / "long.ini", "[S]\nA=1\nB=" + std::string(3 << 20, 'z') + "\nC=3\n");
  CIniFile ini;
  ASSERT_TRUE(ini.LoadSections((dir / "long.ini").string(), kCatalogueFileLimit, {"S"}).ok());
  EXPECT_EQ(ini.GetValue("S", "A"), "1");
  EXPECT_EQ(ini.GetValue("S", "B", "dropped"), "dropped");
  EXPECT_EQ(ini.GetValue("S", "C"), "3");
}

TEST(IniFileLoadSections, AFolderOrAPipeInPlaceOfTheFileIsRefused) {
  TempDir dir;
  std::filesystem::create_directories(dir / "folder.ini");
  ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
  CIniFile ini;
  EXPECT_FALSE(ini.LoadSections((dir / "folder.ini").string(), kCatalogueFileLimit, {"S"}).ok());
  EXPECT_FALSE(ini.LoadSections((dir / "pipe.ini").string(), kCatalogueFileLimit, {"S"}).ok())
      << "without waiting for a writer";
}

}  // namespace
}  // namespace tarnwick
