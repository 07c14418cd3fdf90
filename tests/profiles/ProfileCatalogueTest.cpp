#include <sys/stat.h>

#include <filesystem>

#include "ProfileTestSupport.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "formats/IniFile.h"
#include "profiles/ProfileCatalogue.h"
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
    ini.Load((dir / "profiles.ini").string(), false);
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
    EXPECT_TRUE(WriteProfile(p, TestNow()));
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
  catalogue.LoadCatalogue();
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

  catalogue.LoadCatalogue();
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"a-quick", "b-quick"}));
  EXPECT_EQ(Names(ProfileList::Scheduled), (std::vector<std::string>{"daily", "off"}));
  EXPECT_TRUE(prompts.messages.empty());

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
  catalogue.LoadCatalogue();
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick).size(), 2u);
  EXPECT_EQ(catalogue.ScheduleTable().size(), 2u);
}

TEST_F(ProfileCatalogueTest, CreateTimeIsTakenOnceFromTheFile) {
  Profile p = Save("first", false);
  catalogue.LoadCatalogue();
  const std::string created = Ini("first", "CREATETIME");
  ASSERT_FALSE(created.empty());
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].createTime, created);
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].lastRun, kPlaceholder);

  CIniFile ini;
  ini.Load((dir / "profiles.ini").string(), false);
  ini.SetValue("first", "CREATETIME", "2001-01-01 00:00:00");
  ini.Save();
  ASSERT_TRUE(WriteProfile(p, TestNow() + 3600));
  catalogue.LoadCatalogue();
  EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].createTime, "2001-01-01 00:00:00");
}

TEST_F(ProfileCatalogueTest, AFileNameWithALineBreakLeavesTheCatalogueAlone) {
  Save("a", false);
  WriteFile(dir / "Profile" / "b\nc.pfl", "<PROFILE TYPE=\"QUICKLANCH\"><NAME>x</NAME></PROFILE>");
  const std::string ini = "[a]\nCREATETIME=2001-01-01 00:00:00\n";
  WriteFile(dir / "profiles.ini", ini);
  for (int load = 0; load < 2; ++load) {
    catalogue.LoadCatalogue();
    EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"a", "b\nc"}));
    EXPECT_EQ(catalogue.Rows(ProfileList::Quick)[0].createTime, "2001-01-01 00:00:00");
    EXPECT_NE(catalogue.Rows(ProfileList::Quick)[1].createTime, kPlaceholder);
    EXPECT_EQ(ReadFile(dir / "profiles.ini"), ini);
  }
}

TEST_F(ProfileCatalogueTest, OnlyRegularFilesAreRead) {
  Save("good", false);
  // A pipe would block the load for ever; a dangling link has nothing to read.
  ASSERT_EQ(::mkfifo((dir / "Profile" / "pipe.pfl").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "nowhere", dir / "Profile" / "dangling.pfl");
  std::filesystem::create_symlink(dir / "Profile" / "good.pfl", dir / "Profile" / "linked.pfl");
  catalogue.LoadCatalogue();
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"good", "linked"}));
}

TEST_F(ProfileCatalogueTest, SaveAsAsksBeforeOverwritingInQuickModeOnly) {
  Profile p = test::SampleQuickProfile("mine");
  EXPECT_EQ(catalogue.SaveProfileAs(p, false), CProfileCatalogue::SaveResult::Saved);
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"mine"}));
  const std::string first = ReadFile(p.filePath);

  p.zipFileName = "changed.zip";
  prompts.answers = {UserPrompts::Answer::No};
  EXPECT_EQ(catalogue.SaveProfileAs(p, false), CProfileCatalogue::SaveResult::Declined);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0], "Profile \"mine\" already exists.\nDo you want to overwrite it?");
  EXPECT_EQ(ReadFile(p.filePath), first);

  prompts.answers = {UserPrompts::Answer::Yes};
  EXPECT_EQ(catalogue.SaveProfileAs(p, false), CProfileCatalogue::SaveResult::Saved);
  EXPECT_NE(ReadFile(p.filePath).find("changed.zip"), std::string::npos);

  p.zipFileName = "scheduled.zip";
  EXPECT_EQ(catalogue.SaveProfileAs(p, true), CProfileCatalogue::SaveResult::Saved);
  EXPECT_EQ(prompts.questions.size(), 2u) << "scheduled mode overwrites without asking";
  EXPECT_NE(ReadFile(p.filePath).find("scheduled.zip"), std::string::npos);

  p.name = "../escape";
  EXPECT_EQ(catalogue.SaveProfileAs(p, true), CProfileCatalogue::SaveResult::BadName);
  EXPECT_FALSE(std::filesystem::exists(dir / "escape.pfl"));
  EXPECT_NE(prompts.messages.back().find("../escape"), std::string::npos);
}

TEST_F(ProfileCatalogueTest, SaveButtonSaysWhatHappened) {
  Profile p = test::SampleQuickProfile("");
  EXPECT_FALSE(catalogue.SaveProfile(p));
  EXPECT_EQ(prompts.messages.back(), "Please enter profile name.");

  p.name = "saved";
  EXPECT_TRUE(catalogue.SaveProfile(p));
  EXPECT_EQ(prompts.messages.back(), "Profile saved ok!");
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"saved"})) << "the catalogue was reloaded";

  // The profile's file name is taken by a folder: the write fails and is not reported as saved.
  p.name = "blocked";
  std::filesystem::create_directories(dir / "Profile" / "blocked.pfl");
  EXPECT_FALSE(catalogue.SaveProfile(p));
  EXPECT_NE(prompts.messages.back().find("blocked.pfl"), std::string::npos);
}

TEST_F(ProfileCatalogueTest, StampLastRunWritesTheClockTime) {
  catalogue.StampLastRun("job");
  EXPECT_EQ(Ini("job", "LASTRUN"), "2024-03-05 09:30:15");
  const std::string before = ReadFile(dir / "profiles.ini");
  catalogue.StampLastRun("");
  EXPECT_EQ(ReadFile(dir / "profiles.ini"), before) << "no key without a section";
}

TEST_F(ProfileCatalogueTest, DeleteAsksAndReportsEachFailure) {
  Save("one", false);
  Save("two", false);
  Save("three", false);
  catalogue.LoadCatalogue();  // one, three, two

  prompts.answers = {UserPrompts::Answer::No};
  catalogue.DeleteSelectedProfiles(ProfileList::Quick, {0});
  EXPECT_EQ(prompts.questions.back(), "Do you really want to delete \".../Profile/one.pfl\" permanently?");
  EXPECT_TRUE(prompts.defaultNo.back());
  EXPECT_TRUE(std::filesystem::exists(dir / "Profile" / "one.pfl"));

  std::filesystem::remove(dir / "Profile" / "three.pfl");  // gone behind the list's back
  catalogue.DeleteSelectedProfiles(ProfileList::Quick, {2, 1, 1});
  EXPECT_EQ(prompts.questions.back(),
            "Warnning!!All selected profiles will be deleted!!\nDo you really want to proceed?");
  EXPECT_TRUE(prompts.defaultNo.back());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0],
            "Delete \"" + (dir / "Profile" / "three.pfl").string() + "\" failed.\nError Code = 2.");
  EXPECT_FALSE(std::filesystem::exists(dir / "Profile" / "two.pfl"));
  EXPECT_EQ(Names(ProfileList::Quick), (std::vector<std::string>{"one"}));
}

TEST_F(ProfileCatalogueTest, RenameNeverReplacesAnotherProfile) {
  Save("alpha", true);
  Save("beta", true);
  catalogue.LoadCatalogue();
  const std::string betaBefore = ReadFile(dir / "Profile" / "beta.pfl");
  auto answer = [](std::optional<std::string> name) {
    return [name](const std::string&) { return name; };
  };

  EXPECT_FALSE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("beta")));
  EXPECT_EQ(prompts.messages.back(), "Rename profile \"alpha\" failed.\n");
  EXPECT_EQ(ReadFile(dir / "Profile" / "beta.pfl"), betaBefore);
  EXPECT_TRUE(std::filesystem::exists(dir / "Profile" / "alpha.pfl"));

  EXPECT_FALSE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("../out")));
  EXPECT_FALSE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer("alpha")));
  EXPECT_FALSE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {0}, answer(std::nullopt)));
  EXPECT_FALSE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {}, answer("x")));
  EXPECT_EQ(prompts.messages.size(), 2u);

  std::string offered;
  EXPECT_TRUE(catalogue.RenameSelectedProfile(ProfileList::Scheduled, {1, 0}, [&](const std::string& current) {
    offered = current;
    return std::optional<std::string>("gamma");
  }));
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
