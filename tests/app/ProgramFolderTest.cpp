#include "app/ProgramFolder.h"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <set>

#include <gtest/gtest.h>

#include "formats/IniFile.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

// Tests that change the process-wide folders restore the current directory as program folder.
class ProgramFolderGlobal : public ::testing::Test {
 protected:
  void TearDown() override { SetProgramFolderPath(fs::current_path()); }
};

TEST_F(ProgramFolderGlobal, IsThePathUpToItsLastSlash) {
  SetProgramFolderPath("/opt/tarnwick/bin");
  EXPECT_EQ(ProgramFolder(), fs::path("/opt/tarnwick/bin"));
  EXPECT_EQ(PathBesideProgram("profiles.ini"), fs::path("/opt/tarnwick/bin/profiles.ini"));

  const auto probe = [](const std::string& programPath) {
    return ResolveProgramLocations(programPath, {{},
                                                 "/usr/bin",
                                                 "/usr/share/tarnwick/help",
                                                 "../share/tarnwick/help",
                                                 [](const fs::path&) { return true; }})
        .programFolder;
  };
  EXPECT_EQ(probe("/opt/tarnwick/bin/tarnwick-cli"), fs::path("/opt/tarnwick/bin"));
  EXPECT_EQ(probe("/tarnwick"), fs::path("/"));
}

TEST_F(ProgramFolderGlobal, IsTheCurrentDirectoryForABareName) {
  TempDir dir;  // writable, so everything stays beside the program
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  SetProgramFolder("tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), fs::current_path());

  // A relative path is fixed at start-up, so a later change of directory does not move it.
  fs::create_directory(dir / "bin");
  SetProgramFolder("./bin/tarnwick-cli");
  fs::current_path(before);
  EXPECT_EQ(ProgramFolder(), dir.path() / "." / "bin");
  EXPECT_EQ(DataFolder(), dir.path() / "." / "bin");
}

// The folder rule with a probe that says which folders are writable.
struct RuleCase {
  const char* name;
  const char* programPath;
  const char* executable;          // "" when /proc/self/exe could not be read
  std::set<std::string> readOnly;  // folders the probe calls not writable
  const char* xdgDataHome;         // nullptr: unset
  const char* home;
  bool installed;
  const char* dataFolder;  // expected; "" when it is the program folder
};

class ProgramFolderRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ProgramFolderRule, PutsDataAndManualWhereTheRuleSays) {
  const RuleCase& c = GetParam();
  ScopedEnv xdg("XDG_DATA_HOME", c.xdgDataHome);
  ScopedEnv home("HOME", c.home);
  const std::set<std::string> readOnly = c.readOnly;
  const FolderProbe probe{c.executable, "/usr/local/bin", "/usr/local/share/tarnwick/help", "../share/tarnwick/help",
                          [readOnly](const fs::path& folder) { return readOnly.count(folder.string()) == 0; }};

  const ProgramLocations where = ResolveProgramLocations(c.programPath, probe);
  EXPECT_EQ(where.installed, c.installed);
  if (c.installed) {
    EXPECT_EQ(where.dataFolder, fs::path(c.dataFolder));
    EXPECT_EQ(where.manualFolder, fs::path("/usr/local/share/tarnwick/help"));
  } else {
    EXPECT_EQ(where.dataFolder, where.programFolder);
    EXPECT_EQ(where.manualFolder, where.programFolder / "help");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFolderRule,
    ::testing::Values(RuleCase{"WritableFolderKeepsEverythingBeside",
                               "/home/anna/build/tarnwick-cli",
                               "/home/anna/build/tarnwick-cli",
                               {},
                               "/home/anna/.data",
                               "/home/anna",
                               false,
                               ""},
                      RuleCase{"ReadOnlyFolderUsesXdgDataHome",
                               "/opt/tw/bin/tarnwick",
                               "/opt/tw/bin/tarnwick",
                               {"/opt/tw/bin"},
                               "/home/anna/.data",
                               "/home/anna",
                               true,
                               "/home/anna/.data/tarnwick"},
                      RuleCase{"UnsetXdgDataHomeMeansLocalShare",
                               "/opt/tw/bin/tarnwick",
                               "/opt/tw/bin/tarnwick",
                               {"/opt/tw/bin"},
                               nullptr,
                               "/home/anna",
                               true,
                               "/home/anna/.local/share/tarnwick"},
                      RuleCase{"EmptyXdgDataHomeIsIgnored",
                               "/opt/tw/bin/tarnwick",
                               "/opt/tw/bin/tarnwick",
                               {"/opt/tw/bin"},
                               "",
                               "/home/anna",
                               true,
                               "/home/anna/.local/share/tarnwick"},
                      RuleCase{"RelativeXdgDataHomeIsIgnored",
                               "/opt/tw/bin/tarnwick",
                               "/opt/tw/bin/tarnwick",
                               {"/opt/tw/bin"},
                               "data",
                               "/home/anna",
                               true,
                               "/home/anna/.local/share/tarnwick"},
                      // Started through PATH: argv[0] is the bare name and the current directory is writable,
                      // but the program's own file lies in a folder the user cannot write to.
                      RuleCase{"BareNameFromPathIsInstalled",
                               "tarnwick-cli",
                               "/usr/bin/tarnwick-cli",
                               {"/usr/bin"},
                               "/home/anna/.data",
                               "/home/anna",
                               true,
                               "/home/anna/.data/tarnwick"},
                      // Root may write into the bin folder; the installed program still keeps its data apart.
                      RuleCase{"InstalledBinFolderCountsEvenWhenWritable",
                               "/usr/local/bin/tarnwick",
                               "/usr/local/bin/tarnwick",
                               {},
                               nullptr,
                               "/root",
                               true,
                               "/root/.local/share/tarnwick"},
                      RuleCase{"UnknownExecutableFallsBackToTheProgramFolder",
                               "/home/anna/build/tarnwick-cli",
                               "",
                               {},
                               nullptr,
                               "/home/anna",
                               false,
                               ""}),
    [](const ::testing::TestParamInfo<RuleCase>& rule) { return std::string(rule.param.name); });

// An installed tree under a prefix the build did not know (cmake --install --prefix ~/.local): the
// bin folder is the user's own, yet the data must not land in it.
TEST(InstalledTree, IsFoundByItsManualWhateverItsPrefix) {
  TempDir dir;
  ScopedEnv xdg("XDG_DATA_HOME", "/home/anna/.data");
  fs::create_directories(dir / "bin");
  const FolderProbe probe{dir / "bin/tarnwick", "/usr/local/bin", "/usr/local/share/tarnwick/help",
                          "../share/tarnwick/help", [](const fs::path&) { return true; }};

  ProgramLocations where = ResolveProgramLocations((dir / "bin/tarnwick").string(), probe);
  EXPECT_FALSE(where.installed) << "a bin folder alone does not make an installed tree";

  fs::create_directories(dir / "share/tarnwick/help");
  where = ResolveProgramLocations((dir / "bin/tarnwick").string(), probe);
  EXPECT_TRUE(where.installed);
  EXPECT_EQ(where.dataFolder, fs::path("/home/anna/.data/tarnwick"));
  EXPECT_EQ(where.manualFolder, dir / "share/tarnwick/help");
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(FolderIsWritable, TellsWritableFromUnwritableFoldersAlsoForRoot) {
  TempDir dir;
  EXPECT_TRUE(FolderIsWritable(dir.path()));
  EXPECT_FALSE(FolderIsWritable(dir / "missing"));
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(FolderIsWritable(dir / "file"));
  // The kernel refuses new entries in /proc/sys to everyone, root included.
  EXPECT_FALSE(FolderIsWritable("/proc/sys"));
}

// SetProgramFolder on the real system: a folder no one can write to stands for an installed program.
TEST_F(ProgramFolderGlobal, ReadOnlyProgramFolderMovesDataToTheUserFolder) {
  TempDir dir;
  ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").c_str());
  SetProgramFolder("/proc/sys/tarnwick-cli");

  EXPECT_TRUE(IsInstalledProgram());
  EXPECT_EQ(ProgramFolder(), fs::path("/proc/sys"));
  EXPECT_EQ(DataFolder(), dir / "data/tarnwick");
  EXPECT_EQ(PathBesideProgram("profiles.ini"), dir / "data/tarnwick/profiles.ini");
  EXPECT_EQ(SettingsFilePath(), dir / "data/tarnwick/config.xml");
  EXPECT_EQ(ManualFolder(), SystemFolderProbe().installedManual);
  // Created, owner only: the folder will hold the account files' passwords.
  EXPECT_EQ(ModeOf(dir / "data"), 0700u);
  EXPECT_EQ(ModeOf(dir / "data/tarnwick"), 0700u);
}

TEST_F(ProgramFolderGlobal, WithoutXdgDataHomeTheFolderIsMadeUnderHome) {
  TempDir dir;
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", dir.path().c_str());
  fs::create_directory(dir / ".local");
  ::chmod((dir / ".local").c_str(), 0755);
  SetProgramFolder("/proc/sys/tarnwick");

  EXPECT_EQ(DataFolder(), dir / ".local/share/tarnwick");
  EXPECT_EQ(ModeOf(dir / ".local/share/tarnwick"), 0700u);
  EXPECT_EQ(ModeOf(dir / ".local"), 0755u);  // an existing folder keeps its mode
}

TEST_F(ProgramFolderGlobal, WritableProgramFolderKeepsEverythingBeside) {
  TempDir dir;
  ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").c_str());
  SetProgramFolder((dir / "tarnwick-cli").string());

  EXPECT_FALSE(IsInstalledProgram());
  EXPECT_EQ(DataFolder(), dir.path());
  EXPECT_EQ(PathBesideProgram("Profile"), dir / "Profile");
  EXPECT_EQ(SettingsFilePath(), fs::path("config.xml"));  // the current directory, as always
  EXPECT_EQ(ManualFolder(), dir / "help");
  EXPECT_FALSE(fs::exists(dir / "data"));
}

// The INI files of the program (profiles.ini, the account files) are opened by their full path
// beside the program; nothing else decides where they lie.
TEST(ProgramFolder, IniFilesBesideTheProgramLandInIt) {
  test::TempDir dir;
  const auto before = ProgramFolder();
  SetProgramFolderPath(dir.path());
  {
    CIniFile ini;
    ASSERT_TRUE(ini.Load(PathBesideProgram("profiles.ini").string(), kAccountFileLimit, true).ok());
    EXPECT_EQ(ini.Path(), (dir / "profiles.ini").string());
    ini.SetValue("p", "LASTRUN", "2024-01-02 03:04:05");
  }
  SetProgramFolderPath(before);
  EXPECT_EQ(test::ReadFile(dir / "profiles.ini"), "[p]\nLASTRUN=2024-01-02 03:04:05\n");
}

}  // namespace
}  // namespace tarnwick
