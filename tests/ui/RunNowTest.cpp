// Run Now of a scheduled profile, and the scheduled list following the scheduler's events.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QToolBar>
#include <gtest/gtest.h>

#include <ctime>

#include "UiHarness.h"
#include "app/StringTable.h"
#include "ui/CommandTable.h"

namespace tarnwick::ui::test {
namespace {

QAction* ActionNamed(const QList<QAction*>& actions, const QString& text) {
  for (QAction* action : actions) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

std::time_t StoredNextRun(const Profile& saved) {
  Profile read;
  EXPECT_TRUE(ReadProfile(saved.filePath, read, std::time(nullptr)).ok());
  return read.schedule.nextRun;
}

TEST(RunNow, TheMenuAndTheToolbarRunTheScheduledProfileAndKeepItsNextRun) {
  Sandbox sandbox;
  const Profile nightly = sandbox.SaveScheduled("nightly");
  const std::time_t nextRun = StoredNextRun(nightly);
  Window w(sandbox);
  w.Select(CTarnwickView::kScheduledTab, {0});

  QAction* item = ActionNamed(w.view->ContextMenu(CTarnwickView::kScheduledTab)->actions(), QStringLiteral("Run &Now"));
  ASSERT_NE(item, nullptr);
  ASSERT_TRUE(item->isEnabled());
  item->trigger();
  ASSERT_TRUE(w.WaitForJobEnd());
  EXPECT_EQ(w.Column(CTarnwickView::kLogTab, 2).filter(QStringLiteral("Task Name:  nightly")).size(), 1);
  EXPECT_TRUE(std::filesystem::exists(sandbox / "dst/nightly")) << "the run copied";
  EXPECT_EQ(StoredNextRun(nightly), nextRun) << "the schedule's next run stays";
  EXPECT_NE(w.Column(CTarnwickView::kScheduledTab, 3).front(), QString::fromUtf8(LoadString(IDS_EMPTY_TIME)))
      << "its last run is stamped";

  QWidget* button = w.frame.Toolbar()->widgetForAction(w.frame.Action(ID_SCHEDULED_RUN_NOW));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(w.WaitForJobEnd());
  EXPECT_EQ(w.Column(CTarnwickView::kLogTab, 2).filter(QStringLiteral("Task Name:  nightly")).size(), 2);
  EXPECT_EQ(StoredNextRun(nightly), nextRun);
}

TEST(RunNow, IsOfferedForOneSelectedScheduledProfileOnly) {
  Sandbox sandbox;
  sandbox.SaveScheduled("a");
  sandbox.SaveScheduled("b");
  Window w(sandbox);
  QAction* runNow = w.frame.Action(ID_SCHEDULED_RUN_NOW);
  for (const auto& [rows, enabled] : {std::pair{std::vector<int>{}, false}, {{1}, true}, {{0, 1}, false}}) {
    w.Select(CTarnwickView::kScheduledTab, rows);
    EXPECT_EQ(runNow->isEnabled(), enabled) << rows.size() << " selected";
  }
  runNow->trigger();  // with two selected: nothing runs
  EXPECT_FALSE(w.view->Controller().IsBusy());
}

TEST(SchedulerEvents, AScheduledRunUpdatesItsRowWithoutReadingTheCatalogue) {
  Sandbox sandbox;
  Profile nightly = sandbox.SaveScheduled("nightly");
  Window w(sandbox);
  w.view->Scheduler().SetRunMissed(true);
  w.view->OnTick();
  const QString before = w.Column(CTarnwickView::kScheduledTab, 3).front();  // the last run
  ASSERT_EQ(before, QString::fromUtf8(LoadString(IDS_EMPTY_TIME)));
  // Now missed days ago, with missed runs on: due at the next tick.
  nightly.schedule.startDate = std::time(nullptr) - 4 * 86400;
  nightly.schedule.hasStartDate = 1;
  ASSERT_TRUE(WriteProfile(nightly, std::time(nullptr) - 3 * 86400).ok());
  // A second tick within the same second looks at no second at all.
  const std::time_t ticked = std::time(nullptr);
  ASSERT_TRUE(WaitFor([&] { return std::time(nullptr) != ticked; }));
  w.view->OnTick();
  // Told on this thread, so at once: the folder's watch has had no chance to reload anything.
  const QString after = w.Column(CTarnwickView::kScheduledTab, 3).front();
  EXPECT_NE(after, before);
  ASSERT_TRUE(w.WaitForJobEnd());
  w.view->ReloadCatalogue();
  EXPECT_EQ(w.Column(CTarnwickView::kScheduledTab, 3).front(), after) << "the row the event gave is the stored one";
}

TEST(SchedulerEvents, TheWatchReadsTheCatalogueForOthersChangesNotForTheSchedulersRun) {
  Sandbox sandbox;
  Profile nightly = sandbox.SaveScheduled("nightly");
  Window w(sandbox);
  w.view->Scheduler().SetRunMissed(true);
  nightly.schedule.startDate = std::time(nullptr) - 4 * 86400;
  nightly.schedule.hasStartDate = 1;
  ASSERT_TRUE(WriteProfile(nightly, std::time(nullptr) - 3 * 86400).ok());
  QTest::qWait(CTarnwickView::kReloadDelay * 2);  // the watch's reload of this change
  const std::time_t ticked = std::time(nullptr);
  ASSERT_TRUE(WaitFor([&] { return std::time(nullptr) != ticked; }));

  QSignalSpy reloads(&w.doc, &CTarnwickDoc::catalogueChanged);
  w.view->OnTick();  // launches it, and rewrites its file and "profiles.ini"
  ASSERT_TRUE(w.WaitForJobEnd());
  QTest::qWait(CTarnwickView::kReloadDelay * 2);
  EXPECT_EQ(reloads.count(), 0) << "the scheduler's event told the new times";

  sandbox.SaveQuick("other", sandbox / "bin");  // as tarnwick-cli or another window would
  EXPECT_TRUE(WaitFor([&] { return w.Column(CTarnwickView::kQuickTab, 0).contains(QStringLiteral("other")); }));
  EXPECT_EQ(reloads.count(), 1);
}

}  // namespace
}  // namespace tarnwick::ui::test
