// tarnwick-cli monitor: the schedule monitor without a window, the background service. Its
// scheduler host ticks once a second against the catalogue and launches due scheduled profiles one
// at a time; this prints the log rows and appends them to the month's run history (failed,
// unstartable and missed runs also go to the desktop as notifications), until SIGINT or SIGTERM,
// which stop a running backup first. Only the holder of the scheduler lock launches: while the window (or another
// monitor) holds it, this one stands by and takes over when the other ends. The lock file tells
// which profile runs now; a stop request on the lock holder's socket stops that run and nothing more.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
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
#include "engine/SchedulerHost.h"
#include "engine/SchedulerLock.h"
#include "engine/SessionBusNotifier.h"
#include "log/RunLogFile.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {
namespace {

// What the scheduler host tells, on the console. Called on the host's thread; `fatal` ends the
// monitor's wait.
class ConsoleSchedulerEvents : public SchedulerEvents {
 public:
  ConsoleSchedulerEvents(UserPrompts& prompts, std::mutex& mutex, std::condition_variable& wake)
      : prompts_(prompts), mutex_(mutex), wake_(wake) {}

  void OnSchedulerState(const SchedulerState& state) override {
    if (state.here && !here_) {
      std::fprintf(stderr, "tarnwick-cli: monitoring %zu scheduled profile(s) in %s; Ctrl-C ends\n", state.scheduled,
                   ProfileFolder().c_str());
    } else if (!state.here && !state.lockError.empty()) {
      std::fprintf(stderr, "tarnwick-cli: %s\n", state.lockError.c_str());
      {
        std::lock_guard lock(mutex_);
        fatal_ = true;
      }
      wake_.notify_all();
    } else if (!state.here && !announcedStandby_) {
      const std::string holder = EscapeControlCharacters(state.holder);
      std::fprintf(stderr, "tarnwick-cli: %s\n",
                   FormatString(IDS_SCHEDULES_RUN_ELSEWHERE, holder.empty() ? "?" : holder.c_str()).c_str());
      announcedStandby_ = true;
    }
    here_ = state.here;
  }
  void OnSchedulerProblem(const std::string& text) override { prompts_.ShowMessage(text); }

  // Under the mutex given to the constructor.
  bool Fatal() const { return fatal_; }

 private:
  UserPrompts& prompts_;
  std::mutex& mutex_;
  std::condition_variable& wake_;
  bool fatal_ = false;  // guarded by mutex_
  bool here_ = false;
  bool announcedStandby_ = false;
};

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

  ConsoleSchedulerEvents events(session.prompts, mutex, wake);
  CSchedulerHost host(controller, session.log, session.watch, session.clock, events, CSchedulerLock::DefaultPath(),
                      FormatString(IDS_SCHEDULER_HOLDER_MONITOR, static_cast<long>(::getpid())));
  // Stop in the window, or `tarnwick-cli stop`: the running backup ends, the monitor goes on.
  host.AnswerStopRequests([&controller]() -> std::optional<std::string> {
    std::string running = controller.RunningProfile();
    if (!controller.Stop()) return std::nullopt;
    std::fprintf(stderr, "tarnwick-cli: stopping the running backup on request\n");
    return running;
  });
  host.Tick(session.clock.Now());
  host.StartTicking();

  bool reportedHistoryFailure = false;
  for (;;) {
    {
      std::unique_lock lock(mutex);
      if (wake.wait_for(lock, std::chrono::seconds(1), [&] { return quit || events.Fatal(); })) {
        if (events.Fatal()) {
          lock.unlock();
          host.StopTicking();
          return kExitCannotStart;
        }
        break;
      }
    }
    if (const Status failure = history.FirstFailure(); !failure.ok() && !reportedHistoryFailure) {
      std::fprintf(stderr, "tarnwick-cli: the run history cannot be written: %s\n", failure.ToString().c_str());
      reportedHistoryFailure = true;
    }
    // The rows are on stdout and in the history already; between runs the log lets them go, so a
    // monitor that runs for months does not keep every row it ever printed.
    if (!controller.IsBusy() && session.log.RowCount() > 0) session.log.Clear();
  }
  host.StopTicking();  // no launch after this; the session stops a running backup and waits for it
  return kExitOk;
}

const CliCommandRegistration registration(
    {"monitor", "",
     "run the schedule monitor without a window until Ctrl-C (launches due scheduled profiles; the background "
     "service)",
     RunMonitor});

}  // namespace
}  // namespace tarnwick::cli
