// tarnwick: the desktop program. Everything but the start lives in tarnwick_ui.
#include <cstdio>

#include "app/CoreDumps.h"
#include "app/StringTable.h"
#include "ui/TarnwickApp.h"

int main(int argc, char** argv) {
  // Before Qt starts a thread: a crash must not write the passwords in memory to a core file.
  if (const tarnwick::Status off = tarnwick::ForbidCoreDumps(); !off.ok()) {
    std::fprintf(stderr, "tarnwick: %s\n",
                 tarnwick::FormatString(tarnwick::IDS_CORE_DUMPS_STAY_ON, off.ToString().c_str()).c_str());
  }
  return tarnwick::ui::CTarnwickApp::Main(argc, argv);
}
