// The tray and the close that hides into it, the tray setting of Options, and the status pane
// that tells whether this window or another program runs the schedules.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>

#include "UiHarness.h"
#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "engine/SchedulerLock.h"
#include "support/PausedChild.h"
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
  w.view->Controller().Monitor().SetRunMissed(true);
  EXPECT_EQ(w.frame.SchedulePaneText(), QStringLiteral("Schedules run by the background service, process 7"));
  w.view->OnTick();
  EXPECT_FALSE(w.view->SchedulerLock().Held());
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).isEmpty()) << "the service launches it, not the window";

  service.reset();  // the service ended
  w.view->OnTick();
  EXPECT_TRUE(w.view->SchedulerLock().Held());
  EXPECT_EQ(w.frame.SchedulePaneText(), QStringLiteral("Schedules run here"));
  EXPECT_TRUE(w.WaitForJobEnd());
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).contains(QStringLiteral("TASKNAME")));
}

TEST(SchedulePane, StopInTheWindowAndTrayReachesTheServicesRun) {
  Sandbox sandbox;
  // The service's process: a child that the stop request's signal ends.
  const pid_t process = tarnwick::test::PausedChild();
  ASSERT_GT(process, 0);
  CSchedulerLock service(CSchedulerLock::DefaultPath(), "the background service", process);
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
  int status = 0;
  ASSERT_EQ(::waitpid(process, &status, 0), process);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == CSchedulerLock::kStopSignal) << status;
  EXPECT_EQ(w.frame.StatusText(), QStringLiteral("Asked the background service to stop the backup of nightly."));
  EXPECT_FALSE(w.frame.Action(ID_BACKUP_STOP)->isEnabled()) << "until the service says again what it runs";
  EXPECT_TRUE(w.Column(CTarnwickView::kLogTab, 1).isEmpty()) << "the service logs its run, the window nothing";
}

}  // namespace
}  // namespace tarnwick::ui::test
