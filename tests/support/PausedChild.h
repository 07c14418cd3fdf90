// A child process that waits for a signal and does nothing else: a stand-in for another program
// whose signals a test wants to see.
#pragma once

#include <signal.h>
#include <unistd.h>

namespace tarnwick::test {

// Forks a child that unblocks every signal and pauses until one ends it (only async-signal-safe
// calls after the fork, so it is safe from a threaded test). Returns its pid, or -1.
inline pid_t PausedChild() {
  const pid_t child = ::fork();
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (;;) ::pause();
  }
  return child;
}

}  // namespace tarnwick::test
