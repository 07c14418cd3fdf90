// Everything a run without a window needs, wired together.
#pragma once

#include <signal.h>

#include <cstdio>

#include "app/Clock.h"
#include "app/ConsolePrompts.h"
#include "cli/ConsoleReporter.h"
#include "engine/BackupController.h"
#include "engine/RunNotifier.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick {

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
  CRunWatch watch{reporter, log};  // tells failures to a notifier once one is set
  CBackupController controller{log, watch, prompts, clock, catalogue};
};

}  // namespace tarnwick
