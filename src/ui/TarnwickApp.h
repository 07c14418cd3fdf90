// The application: the start-up sequence (single instance, settings, splash, the catalogue into
// both lists, the tick, the window shown) and the main loop.
#pragma once

#include <QLoggingCategory>

namespace tarnwick::ui {

// "tarnwick.instance": what the single-instance guard did (info messages).
Q_DECLARE_LOGGING_CATEGORY(lcInstance)

class CTarnwickApp {
 public:
  // Runs the program; the process's exit code. A second copy ends at once with 0.
  static int Main(int argc, char** argv);
};

}  // namespace tarnwick::ui
