#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "UiHarness.h"
#include "app/StringTable.h"
#include "support/TempDir.h"
#include "ui/ActivityLogModel.h"
#include "ui/CommandTable.h"
#include "ui/HintTreeView.h"
#include "ui/ProgressPane.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::AllocateBusyFile;
using tarnwick::test::ReadFile;
using tarnwick::test::WriteFile;

constexpr const char* kPlaceholder = "- - : - - : - -";

// The enabled items of a context menu, by text.
QStringList EnabledItems(QMenu* menu) {
  QStringList enabled;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator() && a->isEnabled()) enabled << a->text();
  }
  return enabled;
}

TEST(View, TabsColumnsAndWidths) {
  Sandbox sandbox;
  Window w(sandbox);
  QTabWidget* tabs = w.view->Tabs();
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Quick Lanch Profiles");
  EXPECT_EQ(tabs->tabText(1), "Scheduled Profiles");
  EXPECT_EQ(tabs->tabText(2), "Activity Log");
  const std::vector<std::vector<std::pair<QString, int>>> expected = {
      {{"Profile Name", 200}, {"Create Time", 150}, {"Last Run Time", 150}},
      {{"Profile Name", 200}, {"Create Time", 150}, {"Next Run Time", 150}, {"Last Run Time", 150}},
      {{"Timestamp", 200}, {"Action", 200}, {"Description", 400}},
  };
  for (int tab = 0; tab < 3; ++tab) {
    QTreeView* list = w.view->List(static_cast<CTarnwickView::Tab>(tab));
    EXPECT_FALSE(tabs->tabIcon(tab).isNull());
    ASSERT_EQ(list->model()->columnCount(), static_cast<int>(expected[tab].size()));
    for (std::size_t c = 0; c < expected[tab].size(); ++c) {
      EXPECT_EQ(list->model()->headerData(static_cast<int>(c), Qt::Horizontal).toString(), expected[tab][c].first);
      EXPECT_EQ(list->columnWidth(static_cast<int>(c)), expected[tab][c].second);
    }
  }
}

TEST(View, ProfileRowsShowTheCatalogueWithPlaceholders) {
  Sandbox sandbox;
  sandbox.SaveQuick("alpha", sandbox / "bin");
  sandbox.SaveScheduled("nightly");
  sandbox.SaveScheduled("paused", false);
  Window w(sandbox);
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 0), QStringList({"alpha"}));
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 2), QStringList({kPlaceholder}));
  EXPECT_EQ(w.Column(CTarnwickView::kScheduledTab, 0), QStringList({"nightly", "paused"}));
  const QStringList next = w.Column(CTarnwickView::kScheduledTab, 2);
  EXPECT_TRUE(next[0].endsWith("03:00:00")) << next[0].toStdString();
  EXPECT_EQ(next[1], kPlaceholder);
}

struct EnablingCase {
  CTarnwickView::Tab tab;
  std::vector<int> selected;
  bool logHasRows;
  QStringList enabledPopupItems;
};

void PrintTo(const EnablingCase& c, std::ostream* os) {
  *os << "tab " << c.tab << ", " << c.selected.size() << " selected, log " << (c.logHasRows ? "with rows" : "empty");
}

class Enabling : public ::testing::TestWithParam<EnablingCase> {};

TEST_P(Enabling, ContextMenuAndCommandsFollowSelectionAndLog) {
  const EnablingCase& c = GetParam();
  Sandbox sandbox;
  for (const char* name : {"q1", "q2", "q3"}) sandbox.SaveQuick(name, sandbox / "bin");
  for (const char* name : {"s1", "s2"}) sandbox.SaveScheduled(name);
  Window w(sandbox);
  if (c.logHasRows) w.doc.Log().LogActionText(LOG_ERROR, "something");
  ASSERT_TRUE(WaitFor([&] {
    w.view->LogModel()->Flush();
    return (w.view->LogModel()->rowCount() > 0) == c.logHasRows;
  }));
  w.Select(c.tab, c.selected);
  EXPECT_EQ(EnabledItems(w.view->ContextMenu(c.tab)), c.enabledPopupItems);
  // The menu and toolbar commands follow the same rules; Stop only while a job runs.
  EXPECT_EQ(w.frame.Action(ID_LOG_SAVE)->isEnabled(), c.logHasRows);
  EXPECT_EQ(w.frame.Action(ID_LOG_CLEAR)->isEnabled(), c.logHasRows);
  EXPECT_TRUE(w.frame.Action(ID_LOG_OPEN)->isEnabled());
  EXPECT_FALSE(w.frame.Action(ID_BACKUP_STOP)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Enabling,
    ::testing::Values(
        EnablingCase{CTarnwickView::kQuickTab, {}, false, {}},
        EnablingCase{CTarnwickView::kQuickTab, {1}, false, {"&Lanch...", "&Edit...", "&Delete Profile(s)", "&Rename"}},
        EnablingCase{CTarnwickView::kQuickTab, {0, 2}, false, {"&Delete Profile(s)"}},
        EnablingCase{CTarnwickView::kScheduledTab, {}, false, {}},
        EnablingCase{CTarnwickView::kScheduledTab,
                     {0},
                     false,
                     {"Backup &Settings..", "Run &Now", "&Delete Profile(s)", "&Rename"}},
        EnablingCase{CTarnwickView::kScheduledTab, {0, 1}, false, {"&Delete Profile(s)"}},
        EnablingCase{CTarnwickView::kLogTab, {}, false, {"&Open..."}},
        EnablingCase{CTarnwickView::kLogTab, {}, true, {"&Open...", "&Save", "&Clear"}}));

TEST(View, EditorCommandsOpenTheEditorInTheirMode) {
  Sandbox sandbox;
  sandbox.SaveScheduled("nightly");
  Window w(sandbox);
  w.frame.Action(ID_BACKUP_QUICK)->trigger();
  w.frame.Action(ID_BACKUP_SCHEDULED)->trigger();
  w.Select(CTarnwickView::kScheduledTab, {0});
  w.view->ContextMenu(CTarnwickView::kScheduledTab)->actions().front()->trigger();  // "Backup &Settings.."
  QTreeView* scheduled = w.view->List(CTarnwickView::kScheduledTab);
  Q_EMIT scheduled->doubleClicked(scheduled->model()->index(0, 0));
  ASSERT_EQ(w.editor.requests.size(), 4u);
  EXPECT_EQ(w.editor.requests[0].mode, EditorMode::Quick);
  EXPECT_EQ(w.editor.requests[0].profileName, "");
  EXPECT_EQ(w.editor.requests[1].mode, EditorMode::Scheduled);
  EXPECT_EQ(w.editor.requests[1].profileName, "");
  for (std::size_t i : {2u, 3u}) {
    EXPECT_EQ(w.editor.requests[i].mode, EditorMode::Scheduled);
    EXPECT_EQ(w.editor.requests[i].profileName, "nightly");
  }
}

TEST(View, DeleteAsksAndRemovesTheSelectedProfiles) {
  Sandbox sandbox;
  for (const char* name : {"a", "b", "c"}) sandbox.SaveQuick(name, sandbox / "bin");
  Window w(sandbox);
  w.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
  w.Select(CTarnwickView::kQuickTab, {0, 2});
  w.frame.Action(ID_QUICK_DELETE)->trigger();  // declined
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 0), QStringList({"a", "b", "c"}));
  w.frame.Action(ID_QUICK_DELETE)->trigger();
  ASSERT_EQ(w.prompts.questions.size(), 2u);
  EXPECT_EQ(w.prompts.questions[1], LoadString(IDS_CONFIRM_DELETE_MANY));
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 0), QStringList({"b"}));
  EXPECT_FALSE(fs::exists(sandbox / "bin/Profile/a.pfl"));
  EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/b.pfl"));
}

TEST(View, RenameGoesThroughTheNameDialogAndKeepsTheRowSelected) {
  Sandbox sandbox;
  sandbox.SaveScheduled("old");
  sandbox.SaveScheduled("other");
  Window w(sandbox);
  w.dialogs.nameAnswers = {std::string("other"), std::string("new")};
  w.Select(CTarnwickView::kScheduledTab, {0});
  w.frame.Action(ID_SCHEDULED_RENAME)->trigger();  // taken: the rename fails with its message
  EXPECT_EQ(w.prompts.messages, std::vector<std::string>({"Rename profile \"old\" failed.\n"}));
  w.frame.Action(ID_SCHEDULED_RENAME)->trigger();
  EXPECT_EQ(w.dialogs.askedNames, std::vector<std::string>({"old", "old"}));
  EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/new.pfl"));
  EXPECT_FALSE(fs::exists(sandbox / "bin/Profile/old.pfl"));
  EXPECT_EQ(w.Column(CTarnwickView::kScheduledTab, 0), QStringList({"new", "other"}));
  EXPECT_TRUE(w.frame.Action(ID_SCHEDULED_RENAME)->isEnabled());
}

TEST(View, JobFromTheWindowReportsOnTheWindowsThread) {
  Sandbox sandbox;
  for (int i = 0; i < 20; ++i) WriteFile(sandbox / ("src/f" + std::to_string(i) + ".txt"), std::string(70000, 'x'));
  sandbox.SaveQuick("docs", sandbox / "src");
  Window w(sandbox);
  std::vector<QThread*> threads;
  QObject::connect(w.view->LogModel(), &QAbstractItemModel::rowsInserted,
                   [&] { threads.push_back(QThread::currentThread()); });
  w.Select(CTarnwickView::kQuickTab, {0});
  QTreeView* quick = w.view->List(CTarnwickView::kQuickTab);
  Q_EMIT quick->doubleClicked(quick->model()->index(0, 0));  // a double click launches a quick row
  EXPECT_TRUE(w.frame.Action(ID_BACKUP_STOP)->isEnabled() || !w.view->Controller().IsBusy());
  ASSERT_TRUE(w.WaitForJobEnd());
  EXPECT_FALSE(w.frame.Action(ID_BACKUP_STOP)->isEnabled());

  const QStringList actions = w.Column(CTarnwickView::kLogTab, 1);
  EXPECT_EQ(actions.count("BACKUPFILE"), 20);
  EXPECT_EQ(actions.front(), " ");  // the separator row
  EXPECT_EQ(actions[1], "TASKNAME");
  EXPECT_EQ(actions.back(), "REPORT");
  EXPECT_EQ(actions.end()[-2], "BACKUPEND");
  ASSERT_FALSE(threads.empty());
  for (QThread* t : threads) EXPECT_EQ(t, qApp->thread());
  EXPECT_TRUE(fs::exists(sandbox / "dst/docs/src/f19.txt"));
  // The list shows the run's time; the progress panes are reset at the end, and the status bar
  // tells the run's result from its report.
  EXPECT_NE(w.Column(CTarnwickView::kQuickTab, 2).front(), kPlaceholder);
  EXPECT_TRUE(w.frame.StatusText().startsWith("Backup completed: 20 file(s), 1.3 MB in 0:00:0"))
      << w.frame.StatusText().toStdString();
  EXPECT_FALSE(w.frame.ProgressPane()->isTextVisible());
  EXPECT_EQ(w.frame.OverallPane()->text(), "");
}

TEST(View, TheStatusBarTellsARunsFailedFilesAndTheOverallProgressNeverMakesUpATotal) {
  Sandbox sandbox;
  WriteFile(sandbox / "src/a.txt", "alpha");
  ASSERT_EQ(::mkfifo((sandbox / "src/pipe.txt").c_str(), 0600), 0);  // never read: a failed file
  sandbox.SaveQuick("docs", sandbox / "src");
  Window w(sandbox);
  QStringList overall;
  QObject::connect(&w.view->Reports(), &CJobObserverAdapter::runProgress,
                   [&] { overall << w.frame.OverallPane()->text(); });
  w.Select(CTarnwickView::kQuickTab, {0});
  w.view->OnLaunchQuick();
  ASSERT_TRUE(w.WaitForJobEnd());
  const QString status = w.frame.StatusText();
  EXPECT_TRUE(status.startsWith("Backup completed with failed files: 1 file(s), 5 bytes in 0:00:0"))
      << status.toStdString();
  EXPECT_TRUE(status.endsWith(", 1 failed.")) << status.toStdString();
  // A folder is walked as the run goes: files and bytes so far, without a total nor a percentage.
  ASSERT_FALSE(overall.isEmpty());
  for (const QString& text : overall) {
    EXPECT_FALSE(text.contains(QLatin1String(" of ")) || text.contains(QLatin1Char('%'))) << text.toStdString();
  }
  EXPECT_TRUE(overall.last().endsWith(QLatin1String(" file(s), 5 bytes"))) << overall.last().toStdString();
}

TEST(View, CloseWhileRunningStopsAndJoinsTheWorker) {
  Sandbox sandbox;
  // A large file keeps the job busy long enough to be stopped.
  fs::create_directories(sandbox / "big");
  ASSERT_TRUE(AllocateBusyFile(sandbox / "big/image.bin", std::uintmax_t{4} << 30));
  sandbox.SaveQuick("big", sandbox / "big");
  Window w(sandbox);
  w.Select(CTarnwickView::kQuickTab, {0});
  w.frame.Action(ID_QUICK_LAUNCH)->trigger();
  ASSERT_TRUE(w.view->Controller().IsBusy());
  ASSERT_TRUE(WaitFor([&] { return w.frame.ProgressPane()->isTextVisible(); }));

  w.prompts.answers = {UserPrompts::Answer::No};
  EXPECT_FALSE(w.frame.close());  // No keeps the window and the job
  EXPECT_TRUE(w.view->Controller().IsBusy());
  w.prompts.answers = {UserPrompts::Answer::Yes};
  EXPECT_TRUE(w.frame.close());
  EXPECT_FALSE(w.view->Controller().IsBusy());
  EXPECT_EQ(w.prompts.questions.back(), "A backup job is still running.\nDo you want to stop it and exit?");
  // Nothing half-written: the stopped copy left no file behind in the destination.
  std::vector<fs::path> left;
  if (fs::exists(sandbox / "dst/big")) {
    for (const auto& e : fs::recursive_directory_iterator(sandbox / "dst/big")) {
      if (!e.is_directory()) left.push_back(e.path());
    }
  }
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST(View, OptionsOkIsReadBackIntoTheMonitor) {
  Sandbox sandbox;
  Window w(sandbox);
  EXPECT_FALSE(w.view->Scheduler().RunMissed());
  WriteFile(sandbox / "config.xml",
            "<CONFIG>\r\n<SHOWSPLASH>1</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n");
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    dialog->close();  // Cancel: nothing read
  });
  w.frame.Action(ID_TOOLS_OPTIONS)->trigger();
  w.view->OnTick();
  EXPECT_FALSE(w.view->Scheduler().RunMissed());
  QTimer::singleShot(0, [] { static_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
  w.frame.Action(ID_TOOLS_OPTIONS)->trigger();
  w.view->OnTick();  // the scheduler reads the settings again at its next tick
  EXPECT_TRUE(w.view->Scheduler().RunMissed());
}

TEST(View, LogSaveOpenAndClearThroughTheirDialogs) {
  Sandbox sandbox;
  Window w(sandbox);
  w.doc.Log().LogActionText(LOG_ERROR, "first");
  w.doc.Log().LogActionText(LOG_BACKUPEND, "Backup End.");
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kLogTab, 2).size() == 2; }));
  const std::string chosen = (sandbox / "run").string();
  w.dialogs.saveAnswers = {chosen};
  w.frame.Action(ID_LOG_SAVE)->trigger();
  // Written off the window's thread; the message comes back to it when the file is complete.
  ASSERT_TRUE(WaitFor([&] { return !w.prompts.messages.empty(); }));
  const std::string saved = ReadFile(chosen + ".log");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 6);
  EXPECT_EQ(w.prompts.messages.back(), "Activity log saved ok.");

  w.frame.Action(ID_LOG_CLEAR)->trigger();
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kLogTab, 2).isEmpty(); }));
  EXPECT_FALSE(w.frame.Action(ID_LOG_SAVE)->isEnabled());

  // With rows shown the open asks first; No leaves the list alone and shows no file dialog.
  w.doc.Log().LogActionText(LOG_ERROR, "third");
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kLogTab, 2).size() == 1; }));
  w.dialogs.openAnswers = {chosen + ".log", chosen + ".log"};
  w.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
  w.frame.Action(ID_LOG_OPEN)->trigger();
  EXPECT_EQ(w.dialogs.openAnswers.size(), 2u);
  w.frame.Action(ID_LOG_OPEN)->trigger();
  EXPECT_EQ(w.prompts.questions, std::vector<std::string>(2, "Activity log not saved, would you like to continue?"));
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kLogTab, 2).size() == 3; }));
  EXPECT_EQ(w.Column(CTarnwickView::kLogTab, 2), QStringList({"first", "Backup End.", "third"}));
}

TEST(View, OpeningAnUnreadableLogTellsWhyAndKeepsTheList) {
  Sandbox sandbox;
  Window w(sandbox);
  w.doc.Log().LogActionText(LOG_ERROR, "kept");
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kLogTab, 2).size() == 1; }));
  const std::string missing = (sandbox / "gone.log").string();
  w.dialogs.openAnswers = {missing};
  w.prompts.answers = {UserPrompts::Answer::Yes};
  w.frame.Action(ID_LOG_OPEN)->trigger();
  // The file is read off the window's thread; the message comes back to it.
  ASSERT_TRUE(WaitFor([&] { return !w.prompts.messages.empty(); }));
  EXPECT_EQ(w.prompts.messages.back(), "Unable to open log file \"" + missing + "\"\nNo such file or directory.");
  EXPECT_EQ(w.Column(CTarnwickView::kLogTab, 2), QStringList({"kept"}));
}

TEST(View, ProfileFileWrittenByAnotherProgramShowsUp) {
  Sandbox sandbox;
  sandbox.SaveQuick("first", sandbox / "bin");
  Window w(sandbox);
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 0), QStringList({"first"}));
  sandbox.SaveQuick("from-cli", sandbox / "bin");
  EXPECT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kQuickTab, 0).size() == 2; }));
  fs::remove(sandbox / "bin/Profile/first.pfl");
  EXPECT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kQuickTab, 0) == QStringList({"from-cli"}); }));
}

// A profile file that cannot be read is named with the reason in the status bar and in one log
// row, at the start and when one turns up later; a reload for another file does not tell it again.
TEST(View, AnUnreadableProfileIsNamedInTheStatusBarAndTheLog) {
  Sandbox sandbox;
  sandbox.SaveQuick("good", sandbox / "bin");
  // A regular file whose first byte cannot be read, whoever the reader is.
  const auto unreadable = [&](const char* name) {
    const fs::path path = sandbox / "bin/Profile" / name;
    fs::create_symlink("/proc/self/mem", path);
    return "Left out of the profile lists: Cannot read \"" + QString::fromStdString(path.string()) + "\". " +
           QString::fromUtf8(std::strerror(EIO)) + ".";
  };
  const QString first = unreadable("bad.pfl");
  Window w(sandbox);
  const auto told = [&](const QString& text) { return w.Column(CTarnwickView::kLogTab, 2).count(text); };
  EXPECT_EQ(w.Column(CTarnwickView::kQuickTab, 0), QStringList({"good"}));
  EXPECT_EQ(w.frame.StatusText(), first);
  EXPECT_TRUE(WaitFor([&] { return told(first) == 1; }));

  sandbox.SaveQuick("other", sandbox / "bin");
  ASSERT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kQuickTab, 0).size() == 2; }));
  QTest::qWait(CActivityLogModel::kFlushInterval * 2);
  EXPECT_EQ(told(first), 1) << "told again on a reload";

  fs::remove(sandbox / "bin/Profile/bad.pfl");
  const QString second = unreadable("worse.pfl");
  EXPECT_TRUE(WaitFor([&] { return w.frame.StatusText() == second; }));
  EXPECT_TRUE(WaitFor([&] { return told(second) == 1; }));
}

// The list as painted.
QImage Painted(QTreeView* list) { return list->viewport()->grab().toImage(); }

// Whether the list's hint shows: it paints differently with its hint taken away.
bool HintShows(QTreeView* list) {
  auto* hinted = static_cast<CHintTreeView*>(list);
  const QString hint = hinted->EmptyHint();
  const QImage with = Painted(list);
  hinted->SetEmptyHint({});
  const QImage without = Painted(list);
  hinted->SetEmptyHint(hint);
  return with != without;
}

// The empty lists of a first start say how to begin, with the key the window really has: that
// key opens the editor. The hint goes with the first row.
TEST(View, EmptyListsNameTheMenuAndTheKeyThatMakeTheFirstProfile) {
  Sandbox sandbox;
  Window w(sandbox);
  QTreeView* quick = w.view->List(CTarnwickView::kQuickTab);
  QTreeView* scheduled = w.view->List(CTarnwickView::kScheduledTab);
  const QString quickHint = static_cast<CHintTreeView*>(quick)->EmptyHint();
  EXPECT_EQ(quickHint, "No quick profiles yet: Backup \u2192 Quick Backup... (Ctrl+Q)");
  EXPECT_EQ(static_cast<CHintTreeView*>(scheduled)->EmptyHint(),
            "No scheduled profiles yet: Backup \u2192 Scheduled Backup... (Ctrl+N)");
  w.view->Tabs()->setCurrentIndex(CTarnwickView::kQuickTab);
  EXPECT_TRUE(HintShows(quick));

  w.frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.frame));
  const QString key = quickHint.section(QLatin1Char('('), 1).chopped(1);
  QTest::keySequence(&w.frame, QKeySequence(key));
  ASSERT_EQ(w.editor.requests.size(), 1u);
  EXPECT_EQ(w.editor.requests[0].mode, EditorMode::Quick);

  w.frame.SetShortcut(ID_BACKUP_QUICK, QKeySequence(QStringLiteral("Ctrl+Shift+B")));
  EXPECT_EQ(static_cast<CHintTreeView*>(quick)->EmptyHint(),
            "No quick profiles yet: Backup \u2192 Quick Backup... (Ctrl+Shift+B)");

  sandbox.SaveQuick("first", sandbox / "bin");
  ASSERT_TRUE(WaitFor([&] { return quick->model()->rowCount() == 1; }));
  EXPECT_FALSE(HintShows(quick));
}

}  // namespace
}  // namespace tarnwick::ui::test
