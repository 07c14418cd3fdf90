// tarnwick-cli service install|remove|status: the background service as a systemd user unit of
// the current user ("tarnwick-monitor.service" in the user-unit folder), so scheduled profiles run
// while the window is closed. No root: everything is the user's own.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/ChildProcess.h"
#include "app/ControlCharacters.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "app/Utf8Text.h"
#include "cli/CliCommand.h"
#include "cli/MonitorUnitTemplate.h"
#include "cli/UnitQuoting.h"
#include "engine/RunReport.h"
#include "engine/SchedulerLock.h"
#include "formats/FileIo.h"
#include "formats/PartFile.h"
#include "log/RunLogFile.h"

namespace tarnwick::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitName = "tarnwick-monitor.service";

// This user's name and home folder from the user database; empty when it has no entry.
struct UserEntry {
  std::string name;
  std::string home;
};

UserEntry ThisUser() {
  struct passwd record {};
  struct passwd* entry = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &record, buffer, sizeof buffer, &entry) != 0 || entry == nullptr) return {};
  return {entry->pw_name, entry->pw_dir};
}

// $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user: where systemd looks for the units a
// user adds.
fs::path UserUnitFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return fs::path(config) / "systemd/user";
  const char* home = std::getenv("HOME");
  const std::string folder = home != nullptr && home[0] == '/' ? std::string(home) : ThisUser().home;
  return folder.empty() ? fs::path() : fs::path(folder) / ".config/systemd/user";
}

std::string UserName() {
  const std::string name = ThisUser().name;
  return name.empty() ? std::to_string(::getuid()) : name;
}

void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
  for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size())) {
    text.replace(at, marker.size(), value);
  }
}

// This program as the service must start it: by the path it was started with when that is this
// program (a link into a program folder keeps that folder's catalogue), else by its own file.
fs::path ProgramToStart() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const fs::path started = fs::absolute(ProgramFolder() / "tarnwick-cli", ec).lexically_normal();
  return !ec && fs::equivalent(started, self, ec) ? started : self;
}

// The unit for this very program; it works in the data folder, where a program that is not
// installed also reads its config.xml. Empty, with `*problem` saying why, when a path cannot be
// written into a unit.
std::string UnitText(std::string* problem) {
  std::error_code ec;
  const std::string program = ProgramToStart().string();
  const std::string folder = fs::absolute(DataFolder(), ec).lexically_normal().string();
  for (const auto& [path, use, what] : {std::tuple{program, UnitPathUse::Command, "program's path"},
                                        std::tuple{folder, UnitPathUse::WorkingDirectory, "data folder"}}) {
    if (const std::string reason = UnitPathProblem(path, use); !reason.empty()) {
      *problem = std::string("the ") + what + " \"" + ReadableUtf8(path, false) + "\" holds " + reason +
                 ", which a systemd unit cannot take as it is; use a folder without it";
      return {};
    }
  }
  std::string text = kMonitorUnitTemplate;
  ReplaceAll(text, "@MONITOR_EXEC@", UnitCommandPath(program));
  ReplaceAll(text, "@MONITOR_DIR@", UnitDirectoryValue(folder));
  return text;
}

int Systemctl(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::vector<std::string> command{"systemctl", "--user"};
  command.insert(command.end(), args.begin(), args.end());
  return RunProgram(command, out);
}

// A user service ends with its user's last session unless lingering is on; logind keeps a file
// per lingering user.
void PrintLingerHint() {
  const std::string user = UserName();
  std::error_code ec;
  if (fs::exists(fs::path("/var/lib/systemd/linger") / user, ec)) {
    std::printf("Lingering is on for %s: schedules run also while %s is logged out.\n", user.c_str(), user.c_str());
  } else {
    std::printf(
        "Lingering is off for %s: the service ends with your last session, and a run missed meanwhile is handled\n"
        "by the \"Run missed task\" option. To run schedules while you are logged out: loginctl enable-linger %s\n",
        user.c_str(), user.c_str());
  }
}

int Install(bool unitOnly) {
  const fs::path folder = UserUnitFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "tarnwick-cli: no home folder to install the service for\n");
    return kExitCannotStart;
  }
  std::string problem;
  const std::string text = UnitText(&problem);
  if (text.empty()) {
    std::fprintf(stderr, "tarnwick-cli: the service cannot be installed: %s\n", problem.c_str());
    return kExitCannotStart;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path unit = folder / kUnitName;
  if (const IoResult written = ReplaceFile(unit.string(), text, 0644); !written.ok()) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", Status::IoError(unit.string(), written.sysError).ToString().c_str());
    return kExitFailed;
  }
  std::printf("Wrote %s\n", unit.c_str());
  if (!unitOnly) {
    if (Systemctl({"daemon-reload"}) != 0 || Systemctl({"enable", "--now", kUnitName}) != 0) {
      std::fprintf(stderr,
                   "tarnwick-cli: systemd did not take the service (no user instance of systemd here?); start it "
                   "by hand with: systemctl --user enable --now %s\n",
                   kUnitName);
      PrintLingerHint();
      return kExitFailed;
    }
    std::printf("The service is enabled and running: scheduled profiles run while the window is closed.\n");
  }
  PrintLingerHint();
  return kExitOk;
}

int Remove(bool unitOnly) {
  const fs::path unit = UserUnitFolder() / kUnitName;
  // A service that was never enabled or whose systemd is gone is still removed from disk.
  if (!unitOnly) Systemctl({"disable", "--now", kUnitName});
  std::error_code ec;
  const bool removed = fs::remove(unit, ec);
  if (ec) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", Status::IoError(unit.string(), ec.value()).ToString().c_str());
    return kExitFailed;
  }
  if (!unitOnly) Systemctl({"daemon-reload"});
  std::printf(removed ? "Removed %s\n" : "No service was installed (%s)\n", unit.c_str());
  return kExitOk;
}

int ShowStatus() {
  const fs::path unit = UserUnitFolder() / kUnitName;
  std::error_code ec;
  const bool installed = fs::exists(unit, ec);
  std::printf("Unit:      %s (%s)\n", unit.c_str(), installed ? "installed" : "not installed");
  std::string state;
  if (Systemctl({"is-active", kUnitName}, &state) == 127) state = "unknown (no systemctl)";
  while (!state.empty() && (state.back() == '\n' || state.back() == '\r')) state.pop_back();
  std::printf("Service:   %s\n", state.empty() ? "unknown (no systemd user instance)" : state.c_str());
  Status lockUnreadable;
  const auto holder = CSchedulerLock::ReadHolder(CSchedulerLock::DefaultPath(), &lockUnreadable);
  // The lock file's lines are whatever its holder wrote: escaped, like log rows, for the terminal.
  std::printf("Schedules: %s\n", !lockUnreadable.ok()
                                     ? FormatString(IDS_FILE_CANNOT_TELL, lockUnreadable.ToString().c_str()).c_str()
                                 : holder ? ("run by " + EscapeControlCharacters(holder->text)).c_str()
                                          : "run by nobody now");
  if (holder && !holder->running.empty()) {
    std::printf("Running:   %s (tarnwick-cli stop stops it)\n", EscapeControlCharacters(holder->running).c_str());
  }
  const LastRun last = CRunLogFile::FindLastRun(CRunLogFile::DefaultFolder());
  if (!last.unreadable.ok()) {
    std::printf("Last run:  %s\n", FormatString(IDS_FILE_CANNOT_TELL, last.unreadable.ToString().c_str()).c_str());
  } else if (last.rows.empty()) {
    std::printf("Last run:  none in the service's history\n");
  } else {
    const std::optional<RunReport> report = ReportOfRows(last.rows);
    const std::string result = report ? OutcomeText(report->outcome) : std::string("still running or cut off");
    std::printf("Last run:  %s at %s, %s (tarnwick-cli log --last shows it)\n",
                EscapeControlCharacters(last.profileName).c_str(), EscapeControlCharacters(last.startTime).c_str(),
                result.c_str());
  }
  PrintLingerHint();
  // Printed all the same; a file that could not be read makes the answer incomplete.
  return lockUnreadable.ok() && last.unreadable.ok() ? kExitOk : kExitFailed;
}

int RunService(const std::vector<std::string>& args) {
  const bool unitOnly = args.size() == 2 && args[1] == "--unit-only";
  if (args.empty() || args.size() > 2 || (args.size() == 2 && !unitOnly)) {
    std::fprintf(stderr, "tarnwick-cli: usage: service install|remove|status [--unit-only]\n");
    return kExitCannotStart;
  }
  if (args[0] == "install") return Install(unitOnly);
  if (args[0] == "remove") return Remove(unitOnly);
  if (args[0] == "status" && !unitOnly) return ShowStatus();
  std::fprintf(stderr, "tarnwick-cli: usage: service install|remove|status [--unit-only]\n");
  return kExitCannotStart;
}

const CliCommandRegistration registration(
    {"service", "install|remove|status [--unit-only]",
     "the background service as a systemd user unit (--unit-only: write or delete the unit file, leave systemd alone)",
     RunService});

}  // namespace
}  // namespace tarnwick::cli
