#include "cli/StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <utility>

#include "engine/SchedulerLock.h"

namespace tarnwick {

namespace {

// The signal that wakes the watcher for its end; blocked like the stop signals, so it is never
// delivered to anyone else.
constexpr int kWakeSignal = SIGUSR2;

sigset_t StopSignalSet(bool withStopRequest) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, kWakeSignal);
  if (withStopRequest) sigaddset(&set, CSchedulerLock::kStopSignal);
  return set;
}

}  // namespace

CStopSignals::CStopSignals(std::function<void()> onSignal, std::function<void()> onStopRequest)
    : onSignal_(std::move(onSignal)),
      onStopRequest_(std::move(onStopRequest)),
      set_(StopSignalSet(static_cast<bool>(onStopRequest_))) {
  ::pthread_sigmask(SIG_BLOCK, &set_, &previousMask_);
  watcher_ = std::thread([this] {
    for (;;) {
      int signal = 0;
      if (::sigwait(&set_, &signal) != 0) continue;
      if (done_.load()) return;
      if (signal == kWakeSignal) continue;
      if (signal == CSchedulerLock::kStopSignal) {
        onStopRequest_();
        continue;
      }
      received_.store(true);
      onSignal_();
    }
  });
}

CStopSignals::~CStopSignals() {
  done_.store(true);
  ::pthread_kill(watcher_.native_handle(), kWakeSignal);
  watcher_.join();
  // A stop signal that came after the watcher ended stays pending; taking it here keeps it from
  // ending the process when the old mask returns.
  struct timespec zero {};
  for (int signal; (signal = ::sigtimedwait(&set_, nullptr, &zero)) > 0;) {
    if (signal != CSchedulerLock::kStopSignal && signal != kWakeSignal) received_.store(true);
  }
  ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace tarnwick
