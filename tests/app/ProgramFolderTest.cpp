#include "app/ProgramFolder.h"

#include <gtest/gtest.h>

#include "formats/IniFile.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

TEST(ProgramFolder, IsThePathUpToItsLastSlash) {
  SetProgramFolder("/opt/tarnwick/bin/tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::path("/opt/tarnwick/bin"));
  EXPECT_EQ(PathBesideProgram("profiles.ini"), std::filesystem::path("/opt/tarnwick/bin/profiles.ini"));

  SetProgramFolder("/tarnwick");
  EXPECT_EQ(ProgramFolder(), std::filesystem::path("/"));
}

TEST(ProgramFolder, IsTheCurrentDirectoryForABareName) {
  SetProgramFolder("tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::current_path());

  // A relative path is fixed at start-up, so a later change of directory does not move it.
  SetProgramFolder("./bin/tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::current_path() / "." / "bin");
}

// The INI files of the program (profiles.ini, the account files) are opened by their full path
// beside the program; nothing else decides where they lie.
TEST(ProgramFolder, IniFilesBesideTheProgramLandInIt) {
  test::TempDir dir;
  const auto before = ProgramFolder();
  SetProgramFolderPath(dir.path());
  {
    CIniFile ini;
    ASSERT_TRUE(ini.Load(PathBesideProgram("profiles.ini").string(), true).ok());
    EXPECT_EQ(ini.Path(), (dir / "profiles.ini").string());
    ini.SetValue("p", "LASTRUN", "2024-01-02 03:04:05");
  }
  SetProgramFolderPath(before);
  EXPECT_EQ(test::ReadFile(dir / "profiles.ini"), "[p]\nLASTRUN=2024-01-02 03:04:05\n");
}

}  // namespace
}  // namespace tarnwick
