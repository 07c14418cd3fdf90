// Ctrl-C and SIGTERM turned into Stop for a run without a window.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tarnwick {

// Turns SIGINT and SIGTERM into a call of `onSignal` on a thread of its own. Create it before any other thread is
// started (the signals are blocked in the creating thread and the threads it starts afterwards); the previous signal
// mask is restored when it is destroyed.
class CStopSignals {
 public:
  explicit CStopSignals(std::function<void()> onSignal);
  ~CStopSignals();
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

  bool Received() const { return received_.load(); }

 private:
  std::function<void()> onSignal_;
  sigset_t set_;
  sigset_t previousMask_;
  std::atomic<bool> received_{false};
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

}  // namespace tarnwick
