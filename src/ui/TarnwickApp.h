// The application: the start-up sequence (single instance, settings, splash, document, frame and
// view, the window shown) and the main loop.
#pragma once

namespace tarnwick::ui {

class CTarnwickApp {
 public:
  // Runs the program; the process's exit code.
  static int Main(int argc, char** argv);
};

}  // namespace tarnwick::ui
