// What a run without a window needs: log rows and the progress line on the console, the outcome
// of a run as its rows tell it, messages on a stream, and Ctrl-C / SIGTERM turned into Stop.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/Clock.h"
#include "app/ConsolePrompts.h"
#include "engine/BackupController.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick {

// How a run ended, as its log rows say.
struct RunOutcome {
  bool ended = false;    // "Backup End." was logged
  bool stopped = false;  // "Backup has been stopped." was logged
  bool failed = false;   // an ERROR, CONNECTFAILED or LOGINFAILED row (a failed file is an ERROR row)

  // Only a run that reached its end without any failure counts as a success.
  bool Succeeded() const { return ended && !stopped && !failed; }
};

// Prints every log row as "time<TAB>keyword<TAB>description" the moment it is appended, and, when
// given a progress stream, keeps one progress line there (current file, KB, percent) that the rows
// clear before they print. Tracks the outcome of the rows it saw.
class CConsoleReporter : public JobObserver, public ActivityLogListener {
 public:
  // `progress` may be null: no progress line (for a stream that is not a terminal).
  CConsoleReporter(std::FILE* rows, std::FILE* progress) : rows_(rows), progress_(progress) {}

  void OnStatusText(const std::string& text) override;
  void OnClearStatus() override;
  void OnProgress(long long position, long long range) override;
  void OnResetProgress() override;

  void OnRowInserted(std::size_t position, const LogRow& row) override;
  void OnCleared() override {}
  void OnRowsLoaded(std::size_t, std::size_t) override {}

  RunOutcome Outcome() const;
  // Forgets the outcome so far (the monitor reports each run on its own).
  void ResetOutcome();

 private:
  void DrawProgressLocked();
  void EraseProgressLocked();

  std::FILE* rows_;
  std::FILE* progress_;
  mutable std::mutex mutex_;  // guards everything below and the two streams
  std::string status_;
  long long percent_ = -1;  // -1: no position yet
  bool progressShown_ = false;
  RunOutcome outcome_;
};

// Turns SIGINT and SIGTERM into a call of `onSignal` on a thread of its own. Create it before any
// other thread is started (the signals are blocked in the creating thread and the threads it starts
// afterwards); the previous signal mask is restored when it is destroyed.
class CStopSignals {
 public:
  explicit CStopSignals(std::function<void()> onSignal);
  ~CStopSignals();
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

  bool Received() const { return received_.load(); }

 private:
  std::function<void()> onSignal_;
  sigset_t previousMask_;
  std::atomic<bool> received_{false};
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

// The pieces of a run without a window, wired together: messages and rows on the console (the
// progress line on stderr when `progressLine` is set), the system clock, the catalogue beside the
// program and the controller. Ending it stops a running job and waits for it.
struct HeadlessSession {
  explicit HeadlessSession(bool progressLine) : reporter(stdout, progressLine ? stderr : nullptr) {
    // A reader that goes away (`run NAME | head`) must not kill a backup half-way: writes to it
    // just fail.
    ::signal(SIGPIPE, SIG_IGN);
    log.AddListener(&reporter);
  }
  ~HeadlessSession() {
    controller.Shutdown();
    log.RemoveListener(&reporter);
  }
  HeadlessSession(const HeadlessSession&) = delete;
  HeadlessSession& operator=(const HeadlessSession&) = delete;

  ConsolePrompts prompts{stderr};
  SystemClock clock;
  CConsoleReporter reporter;
  CActivityLog log{clock};
  CProfileCatalogue catalogue{prompts, clock};
  CBackupController controller{log, reporter, prompts, clock, catalogue};
};

}  // namespace tarnwick
