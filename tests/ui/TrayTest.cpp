// The tray and the close that hides into it, the tray setting of Options, and the status pane
// that tells whether this window or another program runs the schedules.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "UiHarness.h"
#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "engine/SchedulerLock.h"
#include "ui/CommandTable.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/TrayIcon.h"

namespace tarnwick::ui::test {
namespace {

TEST(Tray, CloseHidesIntoTheTrayWhileExitAndTheTraysExitEndTheProgram) {
  Sandbox sandbox;
  Window w(sandbox);
  CTrayIcon tray(w.frame, *w.view);
  QSignalSpy closed(&w.frame, &CMainFrame::closed);
  w.frame.SetHideOnClose([] { return true; });

  EXPECT_FALSE(w.frame.close());
  EXPECT_FALSE(w.frame.isVisible()) << "hidden, not closed";
  EXPECT_EQ(closed.count(), 0);
  tray.OpenAction()->trigger();
  EXPECT_TRUE(w.frame.isVisible());

  tray.ExitAction()->trigger();
  EXPECT_FALSE(w.frame.isVisible());
  EXPECT_EQ(closed.count(), 1) << "Exit ends the program whatever the tray setting says";
}

TEST(Tray, ToolTipFollowsTheRunningJobAndStopIsOfferedOnlyWhileOneRuns) {
  Sandbox sandbox;
  Window w(sandbox);
  CTrayIcon tray(w.frame, *w.view);
  EXPECT_EQ(tray.ToolTip(), QStringLiteral("Tarnwick"));
  w.view->Observer().OnStatusText("Backing up /data/a.txt | 12 KB");
  w.view->Observer().OnProgress(30, 120);
  EXPECT_TRUE(WaitFor([&] { return tray.ToolTip().contains(QStringLiteral("25%")); }));
  EXPECT_EQ(tray.ToolTip(), QStringLiteral("Tarnwick: Backing up /data/a.txt | 12 KB\n25%"));
  w.view->Observer().OnClearStatus();
  EXPECT_TRUE(WaitFor([&] { return tray.ToolTip() == QStringLiteral("Tarnwick"); }));

  Q_EMIT tray.Menu()->aboutToShow();
  EXPECT_FALSE(tray.StopAction()->isEnabled());
}

TEST(Tray, TheOptionsCheckBoxIsKeptInConfigXml) {
  Sandbox sandbox;
  RecordingPrompts prompts;
  {
    COptionsDlg dialog(prompts);
    EXPECT_FALSE(dialog.KeepInTrayBox()->isChecked());
    dialog.KeepInTrayBox()->setChecked(true);
    dialog.accept();
  }
  ProgramSettings settings;
  ASSERT_TRUE(settings.ReadSettings((sandbox / "config.xml").string()).ok());
  EXPECT_TRUE(settings.keepInTray());
  EXPECT_TRUE(COptionsDlg(prompts).KeepInTrayBox()->isChecked());
  // Without a tray (as here, offscreen) closing must still end the program.
  EXPECT_EQ(CTrayIcon::KeepInTrayOnClose(), CTrayIcon::Available());
}

TEST(SchedulePane, TheWindowRunsTheSchedulesOnlyWhileNobodyElseDoes) {
  Sandbox sandbox;
  auto service = std::make_unique<CSchedulerLock>(CSchedulerLock::DefaultPath(), "the background service, process 7");
  ASSERT_TRUE(service->TryAcquire());
  // A profile whose run was missed three days ago, with missed runs on: due at any tick.
  // Its schedule started days before, so the 03:00 run it missed lies in the past at any hour now.
  Profile missed = sandbox.SaveScheduled("nightly");
  missed.schedule.startDate = std::time(nullptr) - 4 * 86400;
  missed.schedule.hasStartDate = 1;
  ASSERT_TRUE(WriteProfile(missed, std::time(nullptr) - 3 * 86400).ok());
  Window w(sandbox);
  w.view->Scheduler().SetRunMissed(true);
  EXPECT_EQ(w.frame.SchedulePaneText(), QStringLiteral("Schedules run by the background service, process 7"));
  w.view->OnTick();
  EXPECT_FALSE(w.view->Scheduler().Held());
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).isEmpty()) << "the service launches it, not the window";

  service.reset();  // the service ended
  w.view->OnTick();
  EXPECT_TRUE(w.view->Scheduler().Held());
  EXPECT_EQ(w.frame.SchedulePaneText(), QStringLiteral("Schedules run here"));
  EXPECT_TRUE(w.WaitForJobEnd());
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).contains(QStringLiteral("TASKNAME")));
}

TEST(SchedulePane, StopInTheWindowAndTrayReachesTheServicesRun) {
  Sandbox sandbox;
  // The service: another holder of the lock, answering on its socket.
  std::atomic<int> stops{0};
  CSchedulerLock service(CSchedulerLock::DefaultPath(), "the background service");
  service.AnswerStopRequests([&stops]() -> std::optional<std::string> {
    ++stops;
    return "nightly";
  });
  ASSERT_TRUE(service.TryAcquire());
  Window w(sandbox);
  CTrayIcon tray(w.frame, *w.view);
  w.view->OnTick();
  EXPECT_FALSE(w.frame.Action(ID_BACKUP_STOP)->isEnabled()) << "the service runs nothing yet";

  service.SetRunning("nightly");
  w.view->OnTick();
  EXPECT_EQ(w.frame.SchedulePaneText(),
            QStringLiteral("Schedules run by the background service, now backing up nightly"));
  EXPECT_TRUE(w.frame.Action(ID_BACKUP_STOP)->isEnabled());
  Q_EMIT tray.Menu()->aboutToShow();
  EXPECT_TRUE(tray.StopAction()->isEnabled());

  tray.StopAction()->trigger();
  EXPECT_FALSE(w.frame.Action(ID_BACKUP_STOP)->isEnabled()) << "until the service says again what it runs";
  const QString answered = QStringLiteral("the background service is stopping the backup of nightly.");
  EXPECT_TRUE(WaitFor([&] { return w.frame.StatusText() == answered; })) << w.frame.StatusText().toStdString();
  EXPECT_EQ(stops.load(), 1);
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).isEmpty()) << "the service logs its run, the window nothing";
  w.view->OnTick();
  EXPECT_TRUE(w.frame.Action(ID_BACKUP_STOP)->isEnabled()) << "the service still says it backs up nightly";
}

TEST(SchedulePane, StopInTheWindowWithNobodyListeningSaysSo) {
  Sandbox sandbox;
  // A holder that answers on no socket, whatever process its file names.
  CSchedulerLock silent(CSchedulerLock::DefaultPath(), "the background service");
  ASSERT_TRUE(silent.TryAcquire());
  silent.SetRunning("nightly");
  Window w(sandbox);
  w.view->OnTick();
  w.view->OnStop();
  EXPECT_TRUE(WaitFor([&] { return !w.prompts.messages.empty(); }));
  ASSERT_FALSE(w.prompts.messages.empty());
  EXPECT_NE(w.prompts.messages.back().find("No background service answers at"), std::string::npos)
      << w.prompts.messages.back();
}

TEST(SchedulePane, TheWindowHoldingTheScheduleAnswersAStopRequest) {
  Sandbox sandbox;
  Window w(sandbox);
  ASSERT_TRUE(w.view->Scheduler().Held());
  StopAnswer answer;
  ASSERT_TRUE(CSchedulerLock::RequestStop(CSchedulerLock::DefaultPath(), answer).ok());
  EXPECT_EQ(answer.kind, StopAnswer::Kind::Idle) << "it runs nothing";
  EXPECT_NE(answer.holder.find("the Tarnwick window"), std::string::npos) << answer.holder;
}

}  // namespace
}  // namespace tarnwick::ui::test
