// The user settings kept in config.xml: the splash screen at start-up, the launch of missed
// scheduled runs, and whether closing the window keeps the program running in the tray. The file is named by its bare
// name, relative to the current directory.
#pragma once

#include <string>

#include "app/Status.h"

namespace tarnwick {

class ProgramSettings {
 public:
  static constexpr const char* kFileName = "config.xml";

  ProgramSettings() { ResetSettings(); }

  // showSplash true, runMissed false, keepInTray false.
  void ResetSettings();

  // Ok whatever the file holds (what cannot be found keeps its value); IoError with the file and
  // the system's reason when it cannot be opened or read (settings untouched).
  Status ReadSettings(const std::string& fileName);

  // Writes the file the Options dialog writes: five CR LF lines (a sixth, KEEPINTRAY, after
  // RUNMISSED only when keepInTray is on), under the file's lock (beside it,
  // "config.xml.lock"). The new text goes to a temporary file beside the target and is renamed over
  // it, so a failed write leaves the old file in place and answers IoError with the file and the
  // system's reason.
  Status WriteSettings(const std::string& fileName) const;

  // The document text WriteSettings writes.
  std::string BuildText() const;

  bool showSplash() const { return showSplash_; }
  bool runMissed() const { return runMissed_; }
  void setShowSplash(bool on) { showSplash_ = on; }
  void setRunMissed(bool on) { runMissed_ = on; }
  bool keepInTray() const { return keepInTray_; }
  void setKeepInTray(bool on) { keepInTray_ = on; }

 private:
  bool runMissed_ = false;
  bool showSplash_ = true;
  bool keepInTray_ = false;
};

}  // namespace tarnwick
