#include "cli/StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <utility>

namespace tarnwick {

namespace {

// The signal that wakes the watcher for its end; blocked like the stop signals, so it is never
// delivered to anyone else.
constexpr int kWakeSignal = SIGUSR2;

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, kWakeSignal);
  return set;
}

}  // namespace

CStopSignals::CStopSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)), set_(StopSignalSet()) {
  ::pthread_sigmask(SIG_BLOCK, &set_, &previousMask_);
  watcher_ = std::thread([this] {
    for (;;) {
      int signal = 0;
      if (::sigwait(&set_, &signal) != 0) continue;
      if (done_.load()) return;
      if (signal == kWakeSignal) continue;
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
    if (signal != kWakeSignal) received_.store(true);
  }
  ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace tarnwick
