// tarnwick-cli list and describe, run as a separate program against a prepared program folder.
#include <filesystem>

#include <gtest/gtest.h>

#include "profiles/Profile.h"
#include "support/CliSandbox.h"

namespace tarnwick {
namespace {

using test::ProcessResult;
using test::SplitLines;

class ProfileCommandsTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) { return dir.Run(args); }

  // A profile saved in the program folder; scheduled ones run daily at 10:00 from 1 January 2090.
  void Save(const std::string& name, bool scheduled, bool enabled = true) {
    Profile p;
    const std::time_t now = std::time(nullptr);
    ResetSchedule(p.schedule, now);
    p.name = name;
    p.isScheduled = scheduled;
    p.localSources = {{"/home/u/docs", "+[*.*]", ItemKind::LocalFolder, true}};
    p.localDestFolder = "/backup/target";
    ScheduleRecord& s = p.schedule;
    s.enabled = enabled;
    s.startTime = MakeLocalTime(1980, 2, 6, 10, 0);
    s.hasStartDate = 1;
    s.startDate = MakeLocalTime(2090, 1, 1);
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, now).ok());
  }

  test::CliSandbox dir;
};

TEST_F(ProfileCommandsTest, ListShowsBothListsInAlignedColumns) {
  Save("quick one", false);
  Save("nightly", true);
  Save("paused backup", true, false);
  const ProcessResult r = Run({"list"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 8u) << r.out;
  EXPECT_EQ(lines[0], "Quick Lanch Profiles");
  EXPECT_EQ(lines[1].rfind("Profile Name  Create Time", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("quick one     ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[2].substr(lines[2].size() - 15), "- - : - - : - -");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "Scheduled Profiles");
  // Each column starts where its heading does.
  const std::size_t next = lines[5].find("Next Run Time"), last = lines[5].find("Last Run Time");
  ASSERT_NE(next, std::string::npos);
  EXPECT_EQ(lines[5].find("Create Time"), std::string("paused backup  ").size());
  EXPECT_EQ(lines[6].find("2090-01-01 10:00:00"), next) << lines[6];
  EXPECT_EQ(lines[6].find("- - : - - : - -"), last) << lines[6];
  EXPECT_EQ(lines[7].find("- - : - - : - -"), next) << "disabled: no next run";
  EXPECT_EQ(lines[7].rfind("paused backup", 0), 0u);
}

TEST_F(ProfileCommandsTest, ListOfAnEmptyProgramFolderShowsTheHeadings) {
  const ProcessResult r = Run({"list"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Quick Lanch Profiles\nProfile Name  Create Time  Last Run Time\n\nScheduled Profiles\n"
            "Profile Name  Create Time  Next Run Time  Last Run Time\n");
}

TEST_F(ProfileCommandsTest, DescribeByNameAndByPath) {
  Save("nightly", true);
  ProcessResult r = Run({"describe", "nightly"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Destination: /backup/target\nSchedule: At 10:00 every day, starting 01/01/2090\n"
            "Next run: 2090-01-01 10:00:00\n");

  Save("paused", true, false);
  const std::filesystem::path moved = dir / "elsewhere.pfl";
  std::filesystem::rename(dir.ProgramFolder() / "Profile" / "paused.pfl", moved);
  r = Run({"describe", moved.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out).at(2), "Next run: Scheduled Backup Disabled.");

  Save("quick", false);
  r = Run({"describe", "quick"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Destination: /backup/target\nSchedule: \nNext run: Never\n");
}

// Described as defaults, such a file would print an empty destination and exit 0.
TEST_F(ProfileCommandsTest, DescribeOfAFileThatIsNotAProfileSaysItCouldNotBeRead) {
  const std::filesystem::path folder = dir.ProgramFolder() / "Profile";
  std::filesystem::create_directories(folder);
  const struct {
    const char* name;
    const char* text;
    const char* reason;
  } cases[] = {{"empty", "", "it holds no PROFILE element"},
               {"text", "just some text", "Element tag not found"},
               {"other", "<CONFIG><SHOWSPLASH>1</SHOWSPLASH></CONFIG>", "it holds no PROFILE element"}};
  for (const auto& c : cases) {
    const std::filesystem::path file = folder / (std::string(c.name) + ".pfl");
    std::FILE* out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs(c.text, out);
    std::fclose(out);
    for (const std::string& argument : {std::string(c.name), file.string()}) {
      const ProcessResult r = Run({"describe", argument});
      EXPECT_EQ(r.status, 2) << argument;
      EXPECT_EQ(r.out, "") << argument;
      EXPECT_EQ(r.err,
                "tarnwick-cli: " + file.string() + ": The file could not be read as a profile: " + c.reason + ".\n");
    }
  }
}

TEST_F(ProfileCommandsTest, UnknownProfilesAndCommandsFailWithStatus2) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"describe", "missing"},
                                             {"describe", dir.path().string() + "/none.pfl"},
                                             {"describe", "../x"},
                                             {"describe"},
                                             {"list", "extra"},
                                             {"no-such-command"}}) {
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.status, 2) << args.front();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_NE(Run({"describe", "missing"}).err.find("\"missing\""), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
