// tarnwick-cli monitor: the schedule monitor without a window, the background service. Ticks once
// a second against the catalogue, launches due scheduled profiles one at a time, prints the log
// rows and appends them to the month's run history (failed, unstartable and missed runs also go to
// the desktop as notifications), until SIGINT or SIGTERM, which stop a running
// backup first. Only the holder of the scheduler lock launches: while the window (or another
// monitor) holds it, this one stands by and takes over when the other ends. The lock file tells
// which profile runs now; a stop request on the lock holder's socket stops that run and nothing more.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "app/StringTable.h"
#include "cli/CliCommand.h"
#include "cli/HeadlessSession.h"
#include "cli/StopSignals.h"
#include "engine/BackupController.h"
#include "engine/SchedulerLock.h"
#include "engine/SessionBusNotifier.h"
#include "log/RunLogFile.h"
#include "profiles/Profile.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick::cli {
namespace {

// The profile folder's modification time; profiles written by the desktop program or another
// tool change it, and the monitor then reloads the catalogue.
std::filesystem::file_time_type ProfileFolderStamp() {
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(ProfileFolder(), ec);
  return ec ? std::filesystem::file_time_type::min() : stamp;
}

int RunMonitor(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tarnwick-cli: monitor takes no arguments\n");
    return kExitCannotStart;
  }
  // Declared before the session, so the rows of a backup stopped at the end still reach it.
  SystemClock historyClock;
  CRunLogFile history(CRunLogFile::DefaultFolder(), historyClock);
  CSessionBusNotifier notifier;  // desktop notices while a session bus is there
  HeadlessSession session(::isatty(STDERR_FILENO) != 0);
  session.log.AddListener(&history);
  session.watch.SetNotifier(&notifier);
  CBackupController& controller = session.controller;
  CProfileCatalogue& catalogue = session.catalogue;
  CScheduleMonitor& monitor = controller.Monitor();

  std::mutex mutex;
  std::condition_variable wake;
  bool quit = false;
  CStopSignals signals([&] {
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    wake.notify_all();
    controller.Stop();
  });

  CSchedulerLock schedulerLock(CSchedulerLock::DefaultPath(),
                               FormatString(IDS_SCHEDULER_HOLDER_MONITOR, static_cast<long>(::getpid())));
  // Stop in the window, or `tarnwick-cli stop`: the running backup ends, the monitor goes on.
  schedulerLock.AnswerStopRequests([&controller]() -> std::optional<std::string> {
    std::string running = controller.RunningProfile();
    if (!controller.Stop()) return std::nullopt;
    std::fprintf(stderr, "tarnwick-cli: stopping the running backup on request\n");
    return running;
  });
  // Profiles that cannot be read are named at each load; the others are still monitored.
  const auto reload = [&] {
    if (const Status loaded = catalogue.LoadCatalogue(); !loaded.ok()) session.prompts.ShowMessage(loaded.ToString());
  };
  auto folderStamp = ProfileFolderStamp();
  bool announcedStandby = false;
  bool reportedHistoryFailure = false;
  std::time_t last = session.clock.Now();
  for (;;) {
    if (!schedulerLock.Held()) {
      if (schedulerLock.TryAcquire()) {
        // Taken at start or over from the window: its settings and profiles as they are now.
        if (const Status& unreachable = schedulerLock.stopError(); !unreachable.ok()) {
          std::fprintf(stderr, "tarnwick-cli: %s\n",
                       FormatString(IDS_STOP_REQUESTS_UNREACHABLE, unreachable.ToString().c_str()).c_str());
        }
        // A settings file that cannot be read is named; the monitor goes on with the defaults.
        if (const Status settings = monitor.ReadRunMissedSetting(); !settings.ok()) {
          session.prompts.ShowMessage(settings.ToString());
        }
        folderStamp = ProfileFolderStamp();
        reload();
        std::fprintf(stderr, "tarnwick-cli: monitoring %zu scheduled profile(s) in %s; Ctrl-C ends\n",
                     catalogue.ScheduleTable().size(), ProfileFolder().c_str());
        last = session.clock.Now();
      } else if (!schedulerLock.error().ok()) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", schedulerLock.error().ToString().c_str());
        return kExitCannotStart;
      } else if (!announcedStandby) {
        const std::string holder =
            EscapeControlCharacters(CSchedulerLock::CurrentHolder(CSchedulerLock::DefaultPath()).value_or(""));
        std::fprintf(stderr, "tarnwick-cli: %s\n",
                     FormatString(IDS_SCHEDULES_RUN_ELSEWHERE, holder.empty() ? "?" : holder.c_str()).c_str());
        announcedStandby = true;
      }
    }
    {
      // Wake just after the next whole second.
      const auto next = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()) +
                        std::chrono::seconds(1) + std::chrono::milliseconds(5);
      std::unique_lock lock(mutex);
      if (wake.wait_until(lock, next, [&] { return quit; })) break;
    }
    if (const Status failure = history.FirstFailure(); !failure.ok() && !reportedHistoryFailure) {
      std::fprintf(stderr, "tarnwick-cli: the run history cannot be written: %s\n", failure.ToString().c_str());
      reportedHistoryFailure = true;
    }
    // The rows are on stdout and in the history already; between runs the log lets them go, so a
    // monitor that runs for months does not keep every row it ever printed.
    if (!controller.IsBusy() && session.log.RowCount() > 0) session.log.Clear();
    schedulerLock.SetRunning(controller.RunningProfile());
    if (!schedulerLock.Held()) continue;
    const std::time_t now = session.clock.Now();
    const auto stamp = ProfileFolderStamp();
    if (stamp != folderStamp) {
      folderStamp = stamp;
      reload();
    }
    for (std::time_t t = FirstSecondToTick(last, now); t <= now; ++t) {
      if (monitor.OnTick(t)) {
        folderStamp = ProfileFolderStamp();  // the launch rewrote the profile and reloaded already
        schedulerLock.SetRunning(controller.RunningProfile());
        break;
      }
    }
    last = now;
  }
  return kExitOk;  // the session stops a running backup and waits for it
}

const CliCommandRegistration registration(
    {"monitor", "",
     "run the schedule monitor without a window until Ctrl-C (launches due scheduled profiles; the background "
     "service)",
     RunMonitor});

}  // namespace
}  // namespace tarnwick::cli
