// The profile editor: its modes, OK's checks in order, saving, running, the destination line, a
// whole new scheduled profile read back from its file, and the editor opened from the main window.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QToolBar>
#include <QTreeView>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "ui/BackupDestDlg.h"
#include "ui/BackupSourceDlg.h"
#include "ui/CommandTable.h"
#include "ui/HelpWindow.h"
#include "ui/HistoryComboBox.h"
#include "ui/ProfileDlg.h"
#include "ui/ScheduleFields.h"
#include "ui/ScheduleSettingsDlg.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::AllocateBusyFile;
using tarnwick::test::ReadFile;
using tarnwick::test::WriteFile;

std::string Today() { return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString(); }

struct EditorFixture : ::testing::Test {
  Sandbox sandbox;
  EditorWorld world;

  std::unique_ptr<CProfileDlg> Open(bool scheduled, Profile profile = CProfileDlg::NewProfile(std::time(nullptr))) {
    auto dialog = std::make_unique<CProfileDlg>(world.services, scheduled, std::move(profile));
    dialog->show();
    dialog->activateWindow();
    return dialog;
  }

  // A profile that can run: one folder with a file, copied into dst/.
  Profile Runnable(const std::string& name) {
    fs::create_directories(sandbox / "src");
    fs::create_directories(sandbox / "dst");
    WriteFile(sandbox / "src/a.txt", "a");
    Profile profile = CProfileDlg::NewProfile(std::time(nullptr));
    profile.name = name;
    profile.localSources = {{(sandbox / "src").string(), "+[*.*]", ItemKind::LocalFolder, true}};
    profile.hasSources = true;
    profile.localDestFolder = (sandbox / "dst").string();
    profile.hasDestination = true;
    return profile;
  }
};

// The editor is modal: the manual its Help button opens must still take clicks while it is open,
// and stay open after it.
TEST_F(EditorFixture, TheManualOpenedByHelpTakesClicksWhileTheEditorIsOpen) {
  fs::create_directories(sandbox / "bin/help/Started");
  WriteFile(sandbox / "bin/help/index.htm", "<html><head><title>Start</title></head><body>start</body></html>");
  WriteFile(sandbox / "bin/help/Started/basicset.htm", "<html><body>basic settings</body></html>");
  CHelpWindow help;
  world.services.showHelp = [&help](const std::string& topic) { help.ShowTopic(QString::fromStdString(topic)); };
  CProfileDlg editor(world.services, false, CProfileDlg::NewProfile(std::time(nullptr)));
  std::string shownWhileOpen;
  WhenModal<CProfileDlg>([&](CProfileDlg& d) {
    for (QPushButton* button : d.findChildren<QPushButton*>()) {
      if (button->text() == "&Help") QTest::mouseClick(button, Qt::LeftButton);
    }
    // Through the window system, which drops what a modal dialog blocks.
    QWidget* contents = help.findChild<QToolBar*>()->widgetForAction(help.ContentsAction());
    QTest::mouseClick(help.windowHandle(), Qt::LeftButton, {}, contents->mapTo(&help, contents->rect().center()));
    shownWhileOpen = help.Browser()->source().fileName().toStdString();
    d.reject();
  });
  editor.exec();
  EXPECT_EQ(shownWhileOpen, "index.htm") << "the click on Contents was blocked by the editor";
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.parentWidget(), nullptr);
}

TEST_F(EditorFixture, ModeButtonSwitchesTitlesButtonsAndTheScheduleRow) {
  auto dialog = Open(false);
  EXPECT_EQ(dialog->windowTitle(), "Quick Backup...");
  EXPECT_EQ(dialog->ModeButton()->text(), "Scheduled &Mode >>");
  EXPECT_EQ(dialog->RunButton()->text(), "Backup &Now");
  EXPECT_FALSE(dialog->ScheduleButton()->isVisible());
  EXPECT_TRUE(dialog->SaveThisBox()->isEnabled());
  EXPECT_TRUE(dialog->SaveThisBox()->isChecked());
  const int quickHeight = dialog->height();
  dialog->ModeButton()->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog->windowTitle(), "Scheduled Backup...");
  EXPECT_EQ(dialog->ModeButton()->text(), "Quick &Mode <<");
  EXPECT_EQ(dialog->RunButton()->text(), "Per&form");
  EXPECT_TRUE(dialog->ScheduleButton()->isVisible());
  EXPECT_EQ(dialog->NextRunLabel()->text(), "Scheduled Backup Disabled.");
  EXPECT_FALSE(dialog->SaveThisBox()->isEnabled());
  EXPECT_GT(dialog->height(), quickHeight);  // the window grows for the schedule row
  dialog->ModeButton()->click();
  EXPECT_TRUE(dialog->Scheduled() == false && dialog->SaveThisBox()->isEnabled());
}

// The controls Tab reaches from `first`, in order, as their texts (a field by its object name).
QStringList TabWalk(QWidget* dialog, QWidget* first) {
  QStringList walk;
  QWidget* w = first;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialog) && w->isEnabled()) {
      auto* button = qobject_cast<QAbstractButton*>(w);
      walk << (button ? button->text() : w->metaObject()->className());
    }
    w = w->nextInFocusChain();
  } while (w != first && walk.size() < 40);
  return walk;
}

TEST_F(EditorFixture, TabWalksTheControlsAsTheyAreLaidOut) {
  Profile profile = Runnable("tab");
  profile.schedule.enabled = true;
  auto dialog = Open(true, profile);
  QWidget* source = nullptr;
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == "&Source...") source = b;
  }
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(TabWalk(dialog.get(), source).join(" | ").toStdString(),
            "&Source... | S&ummary... | &Backup to... | QLineEdit | QLineEdit | &Compress to File | QLineEdit | "
            "QComboBox | &Verify after backup | Verify by &reading back (copies on servers are downloaded) | "
            "Schedule Settings... | Quick &Mode << | &Help | Save &Profile | "
            "Per&form | Canc&el");
}

struct CheckCase {
  const char* name;
  std::function<void(Profile&)> profile;
  std::function<void(CProfileDlg&)> fields;
  const char* message;
  bool focusName, focusArchive;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class EditorChecks : public EditorFixture, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(EditorChecks, FirstFailingCheckIsShownAndNothingRuns) {
  const CheckCase& c = GetParam();
  Profile profile = Runnable("checked");
  c.profile(profile);
  auto dialog = Open(false, profile);
  c.fields(*dialog);
  dialog->accept();
  EXPECT_EQ(world.prompts.messages, std::vector<std::string>{c.message});
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->focusWidget() == dialog->NameEdit(), c.focusName);
  EXPECT_EQ(dialog->focusWidget() == dialog->ArchiveEdit(), c.focusArchive);
  EXPECT_TRUE(world.log.Rows().empty());
  EXPECT_FALSE(fs::exists(sandbox / "bin/Profile/checked.pfl"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, EditorChecks,
    ::testing::Values(
        CheckCase{"noSourceComesFirst",
                  [](Profile& p) {
                    p.localSources.clear();
                    p.localDestFolder.clear();
                  },
                  [](CProfileDlg& d) {
                    d.NameEdit()->clear();
                    d.CompressBox()->setChecked(true);
                  },
                  "Please specify backup source.\nIt could be a local folder or a remote FTP path.", false, false},
        CheckCase{"noDestination", [](Profile& p) { p.localDestFolder.clear(); },
                  [](CProfileDlg& d) { d.NameEdit()->clear(); },
                  "Please specify backup destination.\nIt could be a local folder or a remote FTP path.", false, false},
        CheckCase{"noNameWhileSaving", [](Profile&) {},
                  [](CProfileDlg& d) {
                    d.NameEdit()->clear();
                    d.CompressBox()->setChecked(true);
                  },
                  "Please enter profile name.", true, false},
        CheckCase{"noArchiveName", [](Profile&) {}, [](CProfileDlg& d) { d.CompressBox()->setChecked(true); },
                  "Please enter compression filename.", false, true},
        CheckCase{"nameThatLeavesTheProfileFolder", [](Profile&) {},
                  [](CProfileDlg& d) { d.NameEdit()->setText("../checked"); },
                  "The profile name \"../checked\" cannot be used.\nA profile name must not be \".\" or \"..\" and "
                  "must not contain \"/\", \"\\\" or control characters.",
                  true, false}),
    CaseName());

TEST_F(EditorFixture, BackupNowSavesLogsTheTaskAndRunsIntoTodaysFolder) {
  Profile profile = Runnable("daily copy");
  profile.useDateFolder = true;
  profile.localDestFolder += "/";  // a trailing separator is not doubled
  auto dialog = Open(false, profile);
  const std::string line = (sandbox / "dst").string() + "/" + Today();
  EXPECT_EQ(dialog->DestinationField()->text().toStdString(), line);
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(world.prompts.messages.empty());
  EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/daily copy.pfl"));
  world.controller.WaitForJobEnd();
  const std::vector<std::string> log = world.LogTexts();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "********** Task Name:  daily copy **********");
  // The folder the line showed is the one the job made.
  EXPECT_TRUE(fs::exists(line + "/src/a.txt")) << ::testing::PrintToString(log);
}

TEST_F(EditorFixture, UnsavedRunIsLoggedAsNonameAndWritesNoProfile) {
  auto dialog = Open(false, Runnable(""));
  dialog->SaveThisBox()->setChecked(false);
  dialog->accept();
  world.controller.WaitForJobEnd();
  EXPECT_EQ(world.LogTexts().at(1), "********** Task Name:  NONAME **********");
  EXPECT_TRUE(fs::is_empty(sandbox / "bin/Profile"));
}

TEST_F(EditorFixture, OverwriteQuestionNoKeepsTheEditorOpenAndRunsNothing) {
  Profile existing = Runnable("taken");
  ProfilePathFor(existing);
  ASSERT_TRUE(WriteProfile(existing, std::time(nullptr)).ok());
  const std::string before = ReadFile(existing.filePath);
  auto dialog = Open(false, Runnable("taken"));
  dialog->CompressBox()->setChecked(true);
  dialog->ArchiveEdit()->setText("all.zip");
  world.prompts.answers = {UserPrompts::Answer::No};
  dialog->accept();
  EXPECT_EQ(world.prompts.questions,
            std::vector<std::string>{"Profile \"taken\" already exists.\nDo you want to overwrite it?"});
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(ReadFile(existing.filePath), before);
  EXPECT_TRUE(world.log.Rows().empty());
}

TEST_F(EditorFixture, SaveProfileButtonSavesWithoutRunningOrAsking) {
  auto dialog = Open(false, Runnable(""));
  dialog->OnSaveProfile();
  EXPECT_TRUE(dialog->focusWidget() == dialog->NameEdit());
  dialog->NameEdit()->setText("kept");
  dialog->OnSaveProfile();
  dialog->OnSaveProfile();  // again: no question about the existing file
  EXPECT_EQ(world.prompts.messages,
            (std::vector<std::string>{"Please enter profile name.", "Profile saved ok!", "Profile saved ok!"}));
  EXPECT_TRUE(world.prompts.questions.empty());
  EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/kept.pfl"));
  EXPECT_TRUE(world.log.Rows().empty());
  EXPECT_EQ(world.catalogue.Rows(ProfileList::Quick).size(), 1u);
}

TEST_F(EditorFixture, LevelListAndTheArchiveInTheDestinationLine) {
  Profile profile = Runnable("zip");
  profile.zipLevel = 2;
  auto dialog = Open(false, profile);
  EXPECT_EQ(dialog->LevelCombo()->currentText(), "Normal");
  QStringList levels;
  for (int i = 0; i < dialog->LevelCombo()->count(); ++i) levels << dialog->LevelCombo()->itemText(i);
  EXPECT_EQ(levels, QStringList({"Store", "Fastest", "Fast", "Normal", "Good", "Best"}));
  const QString folder = QString::fromStdString((sandbox / "dst").string());
  dialog->CompressBox()->setChecked(true);
  EXPECT_EQ(dialog->DestinationField()->text(), folder + "/");
  QTest::keyClicks(dialog->ArchiveEdit(), "b.zip");
  EXPECT_EQ(dialog->DestinationField()->text(), folder + "/b.zip");  // while typing, one separator
  dialog->LevelCombo()->setCurrentIndex(0);
  dialog->CompressBox()->setChecked(false);
  EXPECT_EQ(dialog->DestinationField()->text(), folder);
  EXPECT_EQ(dialog->CurrentProfile().zipLevel, 0);  // "Store" stays 0
}

TEST_F(EditorFixture, VerifyBoxStartsOnForANewProfileAndShowsWhatTheFileSays) {
  auto fresh = Open(false, Runnable("checked"));
  EXPECT_TRUE(fresh->VerifyBox()->isChecked());
  fresh->OnSaveProfile();
  Profile read;
  ASSERT_TRUE(ReadProfile((sandbox / "bin/Profile/checked.pfl").string(), read, std::time(nullptr)).ok());
  EXPECT_TRUE(read.verifyAfterBackup);

  read.verifyAfterBackup = false;  // as a file of an older version reads
  auto older = Open(false, read);
  EXPECT_FALSE(older->VerifyBox()->isChecked());
  older->VerifyBox()->setChecked(true);
  EXPECT_TRUE(older->CurrentProfile().verifyAfterBackup);
}

// "Verify by reading back" means something only with "Verify after backup": greyed without it, it
// keeps what the file says, and its key letter is one no other button of the editor uses.
TEST_F(EditorFixture, ReadBackBoxFollowsTheVerifyBoxAndIsSaved) {
  Profile profile = Runnable("readback");
  profile.verifyAfterBackup = false;
  profile.verifyByReadingBack = true;
  auto dialog = Open(false, profile);
  EXPECT_TRUE(dialog->ReadBackBox()->isChecked());
  EXPECT_FALSE(dialog->ReadBackBox()->isEnabled());
  dialog->VerifyBox()->setChecked(true);
  EXPECT_TRUE(dialog->ReadBackBox()->isEnabled());
  dialog->OnSaveProfile();
  Profile read;
  ASSERT_TRUE(ReadProfile((sandbox / "bin/Profile/readback.pfl").string(), read, std::time(nullptr)).ok());
  EXPECT_TRUE(read.verifyAfterBackup);
  EXPECT_TRUE(read.verifyByReadingBack);

  QStringList keys;
  for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
    const QString text = button->text();
    const auto amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0 && amp + 1 < text.size()) keys << text.mid(amp + 1, 1).toLower();
  }
  EXPECT_EQ(keys.count(QStringLiteral("r")), 1) << keys.join(QLatin1Char(' ')).toStdString();
}

TEST_F(EditorFixture, BackupToBuildsTheLineOfAnFtpDestinationWithTodaysFolder) {
  auto dialog = Open(false, Runnable("ftp"));
  WhenModal<CBackupDestDlg>([](CBackupDestDlg& dest) {
    dest.FtpRadio()->setChecked(true);
    dest.Account().host->setEditText("ftp.test");
    dest.Account().port->setText("21");
    dest.Account().anonymous->setChecked(true);
    dest.RemotePathEdit()->setText("pub/");
    dest.DateFolderBox()->setChecked(true);
    dest.accept();
  });
  dialog->OnBackupTo();
  EXPECT_EQ(dialog->DestinationField()->text().toStdString(), "ftp.test/pub/" + Today());
  dialog->CompressBox()->setChecked(true);
  QTest::keyClicks(dialog->ArchiveEdit(), "x.zip");
  EXPECT_EQ(dialog->DestinationField()->text().toStdString(), "ftp.test/pub/" + Today() + "/x.zip");
}

TEST_F(EditorFixture, CancelLeavesTheStoredProfileAsItWas) {
  Profile existing = Runnable("untouched");
  ProfilePathFor(existing);
  ASSERT_TRUE(WriteProfile(existing, std::time(nullptr)).ok());
  const std::string before = ReadFile(existing.filePath);
  auto dialog = Open(false, existing);
  world.files.folders = {(sandbox / "src").string() + "/../dst"};
  WhenModal<CBackupSourceDlg>([](CBackupSourceDlg& source) {
    source.OnAddFolder();
    source.accept();
  });
  dialog->OnSource();
  dialog->NameEdit()->setText("untouched");
  dialog->reject();
  EXPECT_EQ(ReadFile(existing.filePath), before);
  EXPECT_TRUE(world.log.Rows().empty());
}

TEST_F(EditorFixture, AnotherRunningBackupKeepsTheEditorOpenWithNothingSaved) {
  // A job copying a large file runs long enough for the editor to meet it; it is stopped at the end.
  const fs::path huge = sandbox / "huge.bin";
  ASSERT_TRUE(AllocateBusyFile(huge, std::uintmax_t{4} << 30));
  Profile waiting = Runnable("waiting");
  waiting.localSources = {{huge.string(), "", ItemKind::LocalFile, false}};
  ASSERT_TRUE(world.controller.StartJob(waiting).ok());
  auto dialog = Open(false, Runnable("second"));
  dialog->accept();
  EXPECT_EQ(world.prompts.messages,
            std::vector<std::string>{
                "Sorry, another backup job is still running.\nPlease switch this backup job to schedule mode."});
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(fs::exists(sandbox / "bin/Profile/second.pfl"));
  dialog->OnModeSwitch();  // scheduled mode only saves: that is allowed
  dialog->SaveThisBox()->setChecked(true);
  dialog->accept();
  EXPECT_EQ(world.prompts.messages.size(), 1u);
  EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/second.pfl"));
  world.controller.Stop();
  EXPECT_TRUE(world.controller.WaitForJobEnd(std::chrono::seconds(10)));
}

TEST_F(EditorFixture, HelpOpensTheBasicSettingsPage) {
  auto dialog = Open(false);
  dialog->OnHelp();
  EXPECT_EQ(world.helpTopics, std::vector<std::string>{"Started/basicset.htm"});
}

TEST_F(EditorFixture, NewScheduledProfileFromSourcesToSaveIsReadBackWhole) {
  fs::create_directories(sandbox / "src");
  fs::create_directories(sandbox / "dst");
  world.files.folders = {(sandbox / "src").string()};
  auto dialog = Open(true);
  EXPECT_FALSE(dialog->RunButton()->isEnabled());  // no schedule yet

  WhenModal<CBackupSourceDlg>([](CBackupSourceDlg& source) {
    source.OnAddFolder();
    source.accept();
  });
  dialog->OnSource();
  WhenModal<CBackupDestDlg>([this](CBackupDestDlg& dest) {
    dest.FolderCombo()->setEditText(QString::fromStdString((sandbox / "dst").string()));
    dest.DateFolderBox()->setChecked(true);
    dest.accept();
  });
  dialog->OnBackupTo();
  WhenModal<CScheduleSettingsDlg>([](CScheduleSettingsDlg& schedule) {
    schedule.TypeCombo()->setCurrentIndex(kScheduleWeekly);
    for (int day = 0; day < 7; ++day) schedule.WeekdayBox(day)->setChecked(day == 0 || day == 2);
    schedule.WeeklySpin()->setValue(2);
    schedule.StartTimeEdit()->setTime(QTime(6, 30));
    schedule.EnabledBox()->setChecked(true);
    schedule.accept();
  });
  dialog->OnScheduleSettings();
  EXPECT_TRUE(dialog->NextRunLabel()->text().startsWith("Next Backup Time: 06:30 "))
      << dialog->NextRunLabel()->text().toStdString();
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
  dialog->NameEdit()->setText("weekly docs");
  dialog->CompressBox()->setChecked(true);
  dialog->ArchiveEdit()->setText("docs.zip");
  dialog->LevelCombo()->setCurrentIndex(5);
  const Profile edited = dialog->CurrentProfile();
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(world.prompts.messages.empty());
  EXPECT_TRUE(world.log.Rows().empty());  // Perform only saves

  Profile read;
  ASSERT_TRUE(ReadProfile((sandbox / "bin/Profile/weekly docs.pfl").string(), read, std::time(nullptr)).ok());
  EXPECT_TRUE(read.isScheduled);
  EXPECT_EQ(read.localSources, edited.localSources);
  EXPECT_EQ(read.localSources.at(0), (SourceItem{(sandbox / "src").string(), "+[*.*]", ItemKind::LocalFolder, false}));
  EXPECT_TRUE(read.destIsLocal);
  EXPECT_EQ(read.localDestFolder, (sandbox / "dst").string());
  EXPECT_TRUE(read.useDateFolder);
  EXPECT_TRUE(read.compress);
  EXPECT_EQ(read.zipFileName, "docs.zip");
  EXPECT_EQ(read.zipLevel, 9);
  EXPECT_TRUE(read.schedule.enabled);
  EXPECT_EQ(read.schedule.type, kScheduleWeekly);
  EXPECT_EQ(read.schedule.weekdays, 0b101);
  EXPECT_EQ(read.schedule.weeklyInterval, 2);
  EXPECT_EQ(TimeOfDay(read.schedule.startTime), QTime(6, 30));
  ASSERT_EQ(world.catalogue.Rows(ProfileList::Scheduled).size(), 1u);
  EXPECT_EQ(world.catalogue.Rows(ProfileList::Scheduled)[0].name, "weekly docs");
}

TEST_F(EditorFixture, DisabledScheduleDisablesPerform) {
  Profile profile = Runnable("off");
  profile.schedule.enabled = true;
  auto dialog = Open(true, profile);
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
  WhenModal<CScheduleSettingsDlg>([](CScheduleSettingsDlg& schedule) {
    schedule.EnabledBox()->setChecked(false);
    schedule.accept();
  });
  dialog->OnScheduleSettings();
  EXPECT_EQ(dialog->NextRunLabel()->text(), "Scheduled Backup Disabled.");
  EXPECT_FALSE(dialog->RunButton()->isEnabled());
  dialog->OnModeSwitch();  // quick mode can always run
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
}

TEST_F(EditorFixture, MainWindowOpensTheEditorInItsModeAndSavesAnEditedProfileUnderItsName) {
  sandbox.SaveScheduled("nightly");
  const std::unique_ptr<ProfileEditorLauncher> launcher = MakeProfileEditorLauncher();
  Window w(sandbox, launcher.get());
  QStringList titles;
  WhenModal<CProfileDlg>([&titles](CProfileDlg& editor) {
    titles << editor.windowTitle();
    editor.reject();
  });
  w.frame.Action(ID_BACKUP_QUICK)->trigger();
  WhenModal<CProfileDlg>([&titles](CProfileDlg& editor) {
    titles << editor.windowTitle();
    editor.reject();
  });
  w.frame.Action(ID_BACKUP_SCHEDULED)->trigger();
  EXPECT_EQ(titles, QStringList({"Quick Backup...", "Scheduled Backup..."}));

  WhenModal<CProfileDlg>([](CProfileDlg& editor) {
    EXPECT_EQ(editor.NameEdit()->text(), "nightly");
    EXPECT_TRUE(editor.Scheduled());
    editor.CompressBox()->setChecked(true);
    editor.ArchiveEdit()->setText("n.zip");
    editor.accept();
  });
  w.Select(CTarnwickView::kScheduledTab, {0});
  QTreeView* scheduled = w.view->List(CTarnwickView::kScheduledTab);
  Q_EMIT scheduled->doubleClicked(scheduled->model()->index(0, 0));
  EXPECT_TRUE(w.prompts.questions.empty());  // scheduled mode overwrites without asking
  EXPECT_EQ(w.Column(CTarnwickView::kScheduledTab, 0), QStringList({"nightly"}));
  Profile read;
  ASSERT_TRUE(ReadProfile((sandbox / "bin/Profile/nightly.pfl").string(), read, std::time(nullptr)).ok());
  EXPECT_TRUE(read.compress);
  EXPECT_EQ(read.zipFileName, "n.zip");
  EXPECT_TRUE(read.schedule.enabled);  // the schedule it had is kept
}

}  // namespace
}  // namespace tarnwick::ui::test
