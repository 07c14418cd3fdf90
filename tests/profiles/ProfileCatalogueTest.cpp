#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ProfileTestSupport.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "formats/IniFile.h"
#include "profiles/ProfileCatalogue.h"
#include "support/ParallelProcesses.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::TestNow;
using test::WriteFile;

constexpr const char* kPlaceholder = "- - : - - : - -";

// Records which questions were asked with No as the default button.
class DefaultTrackingPrompts : public test::RecordingPrompts {
 public:
  std::vector<bool> defaultNo;
  Answer AskYesNo(const std::string& text, bool no = false) override {
    defaultNo.push_back(no);
    return RecordingPrompts::AskYesNo(text, no);
  }
};

class ProfileCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolderPath(dir.path()); }

  std::string Ini(const std::string& section, const std::string& key) {
    CIniFile ini;
    EXPECT_TRUE(ini.Load((dir / "profiles.ini").string(), kCatalogueFileLimit, false).ok());
    return ini.GetValue(section, key);
  }

  // Saves a profile of that name and kind the way the editor does.
  Profile Save(const std::string& name, bool scheduled, bool enabled = true) {
    Profile p = test::SampleQuickProfile(name);
    p.isScheduled = scheduled;
    p.schedule.enabled = enabled;
    p.schedule.startTime = MakeLocalTime(1980, 2, 6, 10, 0);
    p.schedule.hasStartDate = 1;
    p.schedule.startDate = MakeLocalTime(2024, 3, 1);
    ProfilePathFor(p);
    EXPECT_TRUE(WriteProfile(p, TestNow()).ok());
    return p;
  }

  std::vector<std::string> Names(ProfileList list) {
    std::vector<std::string> names;
    for (const ProfileRow& row : catalogue.Rows(list)) names.push_back(row.name);
    return names;
  }

  test::TempDir dir;
  DefaultTrackingPrompts prompts;
  FixedClock clock{TestNow()};
  CProfileCatalogue catalogue{prompts, clock};
};

TEST_F(ProfileCatalogueTest, NoProfileFolderMeansEmptyLists) {
  EXPECT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_TRUE(catalogue.Rows(ProfileList::Quick).empty());
  EXPECT_TRUE(catalogue.Rows(ProfileList::Scheduled).empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "profiles.ini"));
}

TEST_F(ProfileCatalogueTest, LoadsBothListsAndTheScheduleTable) {
  Save("b-quick", false);
  Save("a-quick", false);
  const Profile daily = Save("daily", true);
  Save("off", true, false);
  WriteFile(dir / "Profile" / "other.pfl", "<PROFILE TYPE=\"ELSE\"><NAME>x</NAME></PROFILE>");
  WriteFile(dir / "Profile" / "noname.pfl", "<PROFILE TYPE=\"QUICKLANCH\"></PROFILE>");
  WriteFile(dir / "Profile" / "readme.txt", "<PROFILE TYPE=\"QUICKLANCH\"><NAME>x</NAME></PROFILE>");
  std::filesystem::create_directories(dir / "Profile" / "folder.pfl");
  test::WriteFile(dir / "profiles.ini", "[daily]\nLASTRUN=2024-03-04 10:00:00\n");

  EXPECT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"a-quick", "b-quick"}));
  EXPECT_EQ(Names(ProfileList::Scheduled), (std::vector<std::string>{"daily", "off"}));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(ListTitle(ProfileList::Quick), std::string("Quick Lanch Profiles"));
  EXPECT_EQ(ListColumns(ProfileList::Scheduled),
            (std::vector<std::string>{"Profile Name", "Create Time", "Next Run Time", "Last Run Time"}));

  const ProfileRow& dailyRow = catalogue.Rows(ProfileList::Scheduled)[0];
  EXPECT_EQ(dailyRow.lastRun, "2024-03-04 10:00:00");
  EXPECT_EQ(dailyRow.nextRun, "2024-03-05 10:00:00");
  const ProfileRow& offRow = catalogue.Rows(ProfileList::Scheduled)[1];
  EXPECT_EQ(offRow.nextRun, kPlaceholder) << "a disabled schedule shows no next run";
  EXPECT_EQ(offRow.lastRun, kPlaceholder);
  EXPECT_EQ(RowCells(ProfileList::Scheduled, dailyRow).size(), ListColumns(ProfileList::Scheduled).size());

  ASSERT_EQ(catalogue.ScheduleTable().size(), 2u);
  const ScheduleRecord& entry = catalogue.ScheduleTable()[0];
  EXPECT_EQ(entry.profilePath, daily.filePath);
  EXPECT_TRUE(entry.enabled);
  EXPECT_EQ(entry.lastRunStamp, "202403050930");
  EXPECT_EQ(entry.nextRunValid, 1);
  EXPECT_EQ(entry.nextRun, MakeLocalTime(2024, 3, 5, 10, 0));
  EXPECT_EQ(catalogue.ScheduleTable()[1].nextRunValid, 1) << "the stored NEXTRUN counts, not a recomputation";

  // Reloading starts from empty lists.
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick).size(), 2u);
  EXPECT_EQ(catalogue.ScheduleTable().size(), 2u);
}

TEST_F(ProfileCatalogueTest, CreateTimeIsTakenOnceFromTheFile) {
  Profile p = Save("first", false);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  const std::string created = Ini("first", "CREATETIME");
  ASSERT_FALSE(created.empty());
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].createTime, created);
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].lastRun, kPlaceholder);

  CIniFile ini;
  ASSERT_TRUE(ini.Load((dir / "profiles.ini").string(), kCatalogueFileLimit, false).ok());
  ini.SetValue("first", "CREATETIME", "2001-01-01 00:00:00");
  ASSERT_TRUE(ini.Save().ok());
  ASSERT_TRUE(WriteProfile(p, TestNow() + 3600).ok());
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].createTime, "2001-01-01 00:00:00");
}

// Files put into the folder under names no new profile can be given (a line break, a control byte,
// more than 200 bytes) are listed, stamped and keep their create time like any other. A name a
// section header cannot hold is stored escaped, and never disturbs its neighbours' sections.
TEST_F(ProfileCatalogueTest, NamesNoNewProfileCouldHaveAreListedStampedAndKeepTheirTimes) {
  Save("a", false);
  const std::vector<std::string> odd = {"b\nc", "d\x1b[31m", std::string(240, 'l')};
  for (const std::string& name : odd) {
    WriteFile(dir / "Profile" / (name + ".pfl"), "<PROFILE TYPE=\"QUICKLANCH\"><NAME>x</NAME></PROFILE>");
  }
  WriteFile(dir / "profiles.ini", "[a]\nCREATETIME=2001-01-01 00:00:00\n");
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  std::vector<std::string> names = {"a", odd[0], odd[1], odd[2]};
  std::sort(names.begin() + 1, names.end());
  EXPECT_EQ(Names(ProfileList::Quick), names);
  // The stored create times are changed behind the catalogue's back: a load that took them from
  // the files again would show the files' times instead.
  std::string stored = ReadFile(dir / "profiles.ini");
  const std::string taken = catalogue.Rows(ProfileList::Quick)[1].createTime;
  for (std::size_t at = stored.find(taken); at != std::string::npos; at = stored.find(taken)) {
    stored.replace(at, taken.size(), "2002-02-02 02:02:02");
  }
  WriteFile(dir / "profiles.ini", stored);

  for (const std::string& name : odd) EXPECT_TRUE(catalogue.StampLastRun(name).ok()) << name;
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const ProfileRow& row = catalogue.Rows(ProfileList::Quick)[i];
    EXPECT_EQ(row.createTime, i == 0 ? "2001-01-01 00:00:00" : "2002-02-02 02:02:02") << row.name;
    EXPECT_EQ(row.lastRun, i == 0 ? kPlaceholder : "2024-03-05 09:30:15") << row.name;
  }
  EXPECT_EQ(Ini("a", "CREATETIME"), "2001-01-01 00:00:00");
  EXPECT_EQ(Ini("a", "LASTRUN"), "");
  const std::string ini = ReadFile(dir / "profiles.ini");
  EXPECT_NE(ini.find("\n[b/0Ac]\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\n[d/1B[31m]\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\n[" + odd[2] + "]\n"), std::string::npos) << "a long name fits a header as it is";
}

// Forty runs stamping their profiles while five processes load the catalogue (and store the create
// times of profiles they see first) must lose nothing of each other's.
TEST_F(ProfileCatalogueTest, ParallelStampsAndLoadsLoseNothing) {
  constexpr int kRuns = 40, kLoads = 5;
  std::filesystem::create_directories(dir / "Profile");
  for (int i = 0; i < kRuns; ++i) {
    WriteFile(dir / "Profile" / ("p" + std::to_string(i) + ".pfl"),
              "<PROFILE TYPE=\"QUICKLANCH\"><NAME>x</NAME></PROFILE>");
  }
  const int done = test::RunInParallelProcesses(kRuns + kLoads, [this](int index) {
    if (index >= kRuns) return catalogue.LoadCatalogue().ok();
    return catalogue.StampLastRun("p" + std::to_string(index)).ok();
  });
  ASSERT_EQ(done, kRuns + kLoads);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  for (int i = 0; i < kRuns; ++i) {
    const std::string section = "p" + std::to_string(i);
    EXPECT_EQ(Ini(section, "LASTRUN"), "2024-03-05 09:30:15") << section;
    EXPECT_FALSE(Ini(section, "CREATETIME").empty()) << section;
  }
}

TEST_F(ProfileCatalogueTest, OnlyRegularFilesAreRead) {
  Save("good", false);
  // A pipe would block the load for ever; a dangling link has nothing to read.
  ASSERT_EQ(::mkfifo((dir / "Profile" / "pipe.pfl").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "nowhere", dir / "Profile" / "dangling.pfl");
  std::filesystem::create_symlink(dir / "Profile" / "good.pfl", dir / "Profile" / "linked.pfl");
  EXPECT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"good", "linked"}));
}

TEST_F(ProfileCatalogueTest, UnreadableProfilesAreLeftOutAndNamedTogether) {
  Save("b", false);
  // A regular file whose first byte cannot be read, whoever the reader is.
  const std::string a = (dir / "Profile" / "a.pfl").string(), c = (dir / "Profile" / "c.pfl").string();
  std::filesystem::create_symlink("/proc/self/mem", a);
  std::filesystem::create_symlink("/proc/self/mem", c);
  const Status loaded = catalogue.LoadCatalogue();
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"b"}));
  EXPECT_EQ(loaded.code(), StatusCode::IoError);
  EXPECT_EQ(loaded.path(), a);
  EXPECT_EQ(loaded.sysError(), EIO);
  const std::string reason = std::strerror(EIO);
  EXPECT_EQ(loaded.ToString(),
            "Cannot read \"" + a + "\".\n" + reason + ".\nCannot read \"" + c + "\".\n" + reason + ".");
  EXPECT_TRUE(prompts.messages.empty()) << "the catalogue reports; it does not show";
}

TEST_F(ProfileCatalogueTest, SaveAsAsksBeforeOverwritingInQuickModeOnly) {
  Profile p = test::SampleQuickProfile("mine");
  EXPECT_TRUE(catalogue.SaveProfileAs(p, false).ok());
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"mine"}));
  const std::string first = ReadFile(p.filePath);

  p.zipFileName = "changed.zip";
  prompts.answers = {UserPrompts::Answer::No};
  EXPECT_EQ(catalogue.SaveProfileAs(p, false).code(), StatusCode::Stopped);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0], "Profile \"mine\" already exists.\nDo you want to overwrite it?");
  EXPECT_EQ(ReadFile(p.filePath), first);

  prompts.answers = {UserPrompts::Answer::Yes};
  EXPECT_TRUE(catalogue.SaveProfileAs(p, false).ok());
  EXPECT_NE(ReadFile(p.filePath).find("changed.zip"), std::string::npos);

  p.zipFileName = "scheduled.zip";
  p.isScheduled = true;
  EXPECT_TRUE(catalogue.SaveProfileAs(p, true).ok());
  EXPECT_EQ(prompts.questions.size(), 3u) << "a quick profile turned scheduled is asked about";
  EXPECT_NE(ReadFile(p.filePath).find("scheduled.zip"), std::string::npos);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  p.zipFileName = "rescheduled.zip";
  EXPECT_TRUE(catalogue.SaveProfileAs(p, true).ok());
  EXPECT_EQ(prompts.questions.size(), 3u) << "scheduled mode saves its own profile without asking";
  EXPECT_NE(ReadFile(p.filePath).find("rescheduled.zip"), std::string::npos);

  p.name = "../escape";
  const Status bad = catalogue.SaveProfileAs(p, true);
  EXPECT_EQ(bad.code(), StatusCode::InvalidArgument);
  EXPECT_FALSE(std::filesystem::exists(dir / "escape.pfl"));
  EXPECT_NE(bad.ToString().find("../escape"), std::string::npos);

  // A write that fails is reported with the file and the system's reason.
  p.name = "blocked";
  std::filesystem::create_directories(dir / "Profile" / "blocked.pfl");
  const Status failed = catalogue.SaveProfileAs(p, true);
  EXPECT_EQ(failed.code(), StatusCode::IoError);
  EXPECT_EQ(failed.path(), (dir / "Profile" / "blocked.pfl").string());
  EXPECT_EQ(failed.sysError(), EISDIR);
  EXPECT_TRUE(prompts.messages.empty()) << "the catalogue reports; it does not show";
}

// Quick Mode, Backup Now, overwrite: Yes on a scheduled profile's name would silently drop its
// schedule; the question says that the kind changes, and No keeps the file as it was.
TEST_F(ProfileCatalogueTest, OverwritingAProfileOfTheOtherKindSaysItsKindChanges) {
  struct Case {
    bool existingScheduled;
    bool savedScheduled;
    const char* what;
  };
  for (const Case& c :
       {Case{true, false, "becomes a quick profile"}, Case{false, true, "becomes a scheduled profile"}}) {
    SCOPED_TRACE(c.what);
    const Profile existing = Save("daily", c.existingScheduled);
    ASSERT_TRUE(catalogue.LoadCatalogue().ok());
    const std::string before = ReadFile(existing.filePath);
    Profile other = test::SampleQuickProfile("daily");
    other.isScheduled = c.savedScheduled;
    prompts.questions.clear();
    prompts.answers = {UserPrompts::Answer::No};
    EXPECT_EQ(catalogue.SaveProfileAs(other, c.savedScheduled).code(), StatusCode::Stopped);
    ASSERT_EQ(prompts.questions.size(), 1u);
    const std::string kind = c.existingScheduled ? "as a scheduled profile" : "as a quick profile";
    EXPECT_NE(prompts.questions[0].find(kind), std::string::npos) << prompts.questions[0];
    EXPECT_NE(prompts.questions[0].find(c.existingScheduled ? "makes it a quick profile: its schedule is lost"
                                                            : "makes it a scheduled profile"),
              std::string::npos)
        << prompts.questions[0];
    EXPECT_EQ(ReadFile(existing.filePath), before) << "No keeps the profile and its kind";
    prompts.answers = {UserPrompts::Answer::Yes};
    EXPECT_TRUE(catalogue.SaveProfileAs(other, c.savedScheduled).ok());
    ASSERT_TRUE(catalogue.LoadCatalogue().ok());
    EXPECT_EQ(Names(c.savedScheduled ? ProfileList::Scheduled : ProfileList::Quick), std::vector<std::string>{"daily"});
    std::filesystem::remove(existing.filePath);
  }
}

TEST_F(ProfileCatalogueTest, SaveButtonSaysWhatHappened) {
  Profile p = test::SampleQuickProfile("");
  EXPECT_EQ(catalogue.SaveProfile(p).ToString(), "Please enter profile name.");

  p.name = "saved";
  EXPECT_TRUE(catalogue.SaveProfile(p).ok());
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"saved"})) << "the catalogue was reloaded";

  // The profile's file name is taken by a folder: the write fails and is not reported as saved.
  p.name = "blocked";
  std::filesystem::create_directories(dir / "Profile" / "blocked.pfl");
  const Status failed = catalogue.SaveProfile(p);
  EXPECT_EQ(failed.code(), StatusCode::IoError);
  EXPECT_NE(failed.ToString().find("blocked.pfl"), std::string::npos);
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ProfileCatalogueTest, StampLastRunWritesTheClockTime) {
  EXPECT_TRUE(catalogue.StampLastRun("job").ok());
  EXPECT_EQ(Ini("job", "LASTRUN"), "2024-03-05 09:30:15");
  const std::string before = ReadFile(dir / "profiles.ini");
  EXPECT_EQ(catalogue.StampLastRun("").code(), StatusCode::InvalidArgument);
  EXPECT_EQ(ReadFile(dir / "profiles.ini"), before) << "no key without a section";
  EXPECT_EQ(catalogue.StampLastRun("b/0Ac").code(), StatusCode::InvalidArgument);
  EXPECT_EQ(ReadFile(dir / "profiles.ini"), before) << "no name passes for another's escaped section";

  // profiles.ini cannot be replaced: the stamp fails with the file's path and reason.
  std::filesystem::remove(dir / "profiles.ini");
  std::filesystem::create_directory(dir / "profiles.ini");
  const Status failed = catalogue.StampLastRun("job");
  EXPECT_EQ(failed.path(), (dir / "profiles.ini").string());
  EXPECT_EQ(failed.sysError(), EISDIR);
}

TEST_F(ProfileCatalogueTest, DeleteAsksAndReportsEachFailure) {
  Save("one", false);
  Save("two", false);
  Save("three", false);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());  // one, three, two

  prompts.answers = {UserPrompts::Answer::No};
  EXPECT_EQ(catalogue.DeleteSelectedProfiles(ProfileList::Quick, {0}).code(), StatusCode::Stopped);
  EXPECT_EQ(prompts.questions.back(), "Do you really want to delete \".../Profile/one.pfl\" permanently?");
  EXPECT_TRUE(prompts.defaultNo.back());
  EXPECT_TRUE(std::filesystem::exists(dir / "Profile" / "one.pfl"));

  std::filesystem::remove(dir / "Profile" / "three.pfl");  // gone behind the list's back
  const Status deleted = catalogue.DeleteSelectedProfiles(ProfileList::Quick, {2, 1, 1});
  EXPECT_EQ(prompts.questions.back(),
            "Warnning!!All selected profiles will be deleted!!\nDo you really want to proceed?");
  EXPECT_TRUE(prompts.defaultNo.back());
  EXPECT_EQ(deleted.ToString(), "Delete \"" + (dir / "Profile" / "three.pfl").string() + "\" failed.\nError Code = 2.");
  EXPECT_EQ(deleted.sysError(), ENOENT);
  EXPECT_FALSE(std::filesystem::exists(dir / "Profile" / "two.pfl"));
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"one"}));
}

TEST_F(ProfileCatalogueTest, RenameNeverReplacesAnotherProfile) {
  Save("alpha", true);
  Save("beta", true);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  const std::string betaBefore = ReadFile(dir / "Profile" / "beta.pfl");
  auto answer = [](const std::optional<std::string>& name) { return [name](const std::string&) { return name; }; };

  const Status taken = catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("beta"));
  EXPECT_EQ(taken.ToString(), "Rename profile \"alpha\" failed.\n");
  EXPECT_EQ(taken.path(), (dir / "Profile" / "alpha.pfl").string());
  EXPECT_EQ(taken.sysError(), EEXIST);
  EXPECT_EQ(ReadFile(dir / "Profile" / "beta.pfl"), betaBefore);
  EXPECT_TRUE(std::filesystem::exists(dir / "Profile" / "alpha.pfl"));

  EXPECT_EQ(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("../out")).code(),
            StatusCode::InvalidArgument);
  EXPECT_EQ(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("alpha")).code(), StatusCode::Stopped);
  EXPECT_EQ(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer(std::nullopt)).code(),
            StatusCode::Stopped);
  EXPECT_EQ(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {}, answer("x")).code(), StatusCode::Stopped);
  EXPECT_TRUE(prompts.messages.empty());

  std::string offered;
  EXPECT_TRUE(catalogue
                  .RenameSelectedProfile(ProfileList::Scheduled, {1, 0},
                                         [&](const std::string& current) {
                                           offered = current;
                                           return std::optional<std::string>("gamma");
                                         })
                  .ok());
  EXPECT_EQ(offered, "alpha") << "the first selected row";
  EXPECT_EQ(catalogue.Rows(ProfileList::Scheduled)[0].name, "gamma");
  EXPECT_TRUE(std::filesystem::exists(dir / "Profile" / "gamma.pfl"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Profile" / "alpha.pfl"));
  // The monitor's entry for the row follows the file, before any reload.
  EXPECT_EQ(catalogue.ScheduleTable()[0].profilePath, (dir / "Profile" / "gamma.pfl").string());
  EXPECT_EQ(catalogue.ScheduleTable()[1].profilePath, (dir / "Profile" / "beta.pfl").string());
}

}  // namespace
}  // namespace tarnwick
