// The background service: `tarnwick-cli monitor` as a systemd user unit of the current user
// ("tarnwick-monitor.service" in the user-unit folder), so scheduled profiles run while the window
// is closed. No root: everything is the user's own. `tarnwick-cli service` and the window's close
// question both install it through here.
//
// The calls that start systemctl (through app/ChildProcess) wait for it: a window calls them off
// its own thread. Any thread may call them; they share no state.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/Status.h"

namespace tarnwick {

class CBackgroundService {
 public:
  static constexpr const char* kUnitName = "tarnwick-monitor.service";

  // $XDG_CONFIG_HOME/systemd/user when that is absolute, else <home>/.config/systemd/user; empty
  // when no home is known.
  static std::filesystem::path UserUnitFolder();
  // The unit file in UserUnitFolder(); empty when there is none.
  static std::filesystem::path UnitPath();

  // The unit that runs this installation's tarnwick-cli (this program, or the one beside it) in
  // the data folder. Empty, with `*problem` saying why, when that program is missing or a path
  // cannot be written into a unit.
  static std::string UnitText(std::string* problem);

  // Writes the unit file (0644, by a temporary file and a rename); `*written` is its path.
  // InvalidArgument when there is no home or UnitText refuses; IoError when the write fails.
  static Status WriteUnit(std::filesystem::path* written);
  // Makes systemd load, enable and start the written unit. Refused with systemctl's own words
  // when it does not (no user instance of systemd, say).
  static Status Enable();
  // WriteUnit, then Enable: ok when the service runs now.
  static Status Install(std::filesystem::path* written);

  // Whether the service will run the scheduled profiles: its unit file is there and systemd says
  // it is enabled or active. False when systemctl cannot be asked.
  static bool WillRunSchedules();

  // `systemctl --user args...`; its standard output into `*out` when given. The exit status, 127
  // when systemctl cannot be run.
  static int Systemctl(const std::vector<std::string>& args, std::string* out = nullptr);

  // This user's name (the number when the user database has no entry), and whether logind keeps
  // this user's services running while the user is logged out.
  static std::string UserName();
  static bool LingerOn();
};

}  // namespace tarnwick
