// tarnwick-cli service install|remove|status: the background service as a systemd user unit of
// the current user ("tarnwick-monitor.service" in the user-unit folder), so scheduled profiles run
// while the window is closed. No root: everything is the user's own.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "app/StringTable.h"
#include "cli/CliCommand.h"
#include "engine/BackgroundService.h"
#include "engine/RunReport.h"
#include "engine/SchedulerLock.h"
#include "log/RunLogFile.h"

namespace tarnwick::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitName = CBackgroundService::kUnitName;

// A user service ends with its user's last session unless lingering is on; logind keeps a file
// per lingering user.
void PrintLingerHint() {
  const std::string user = CBackgroundService::UserName();
  if (CBackgroundService::LingerOn()) {
    std::printf("Lingering is on for %s: schedules run also while %s is logged out.\n", user.c_str(), user.c_str());
  } else {
    std::printf(
        "Lingering is off for %s: the service ends with your last session, and a run missed meanwhile is handled\n"
        "by the \"Run missed task\" option. To run schedules while you are logged out: loginctl enable-linger %s\n",
        user.c_str(), user.c_str());
  }
}

int Install(bool unitOnly) {
  fs::path unit;
  if (const Status written = CBackgroundService::WriteUnit(&unit); !written.ok()) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", written.ToString().c_str());
    return written.code() == StatusCode::IoError ? kExitFailed : kExitCannotStart;
  }
  std::printf("Wrote %s\n", unit.c_str());
  if (!unitOnly) {
    if (const Status enabled = CBackgroundService::Enable(); !enabled.ok()) {
      std::fprintf(stderr, "tarnwick-cli: %s\n", enabled.ToString().c_str());
      PrintLingerHint();
      return kExitFailed;
    }
    std::printf("The service is enabled and running: scheduled profiles run while the window is closed.\n");
  }
  PrintLingerHint();
  return kExitOk;
}

int Remove(bool unitOnly) {
  const fs::path unit = CBackgroundService::UnitPath();
  // A service that was never enabled or whose systemd is gone is still removed from disk.
  if (!unitOnly) CBackgroundService::Systemctl({"disable", "--now", kUnitName});
  std::error_code ec;
  const bool removed = fs::remove(unit, ec);
  if (ec) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", Status::IoError(unit.string(), ec.value()).ToString().c_str());
    return kExitFailed;
  }
  if (!unitOnly) CBackgroundService::Systemctl({"daemon-reload"});
  std::printf(removed ? "Removed %s\n" : "No service was installed (%s)\n", unit.c_str());
  return kExitOk;
}

int ShowStatus() {
  const fs::path unit = CBackgroundService::UnitPath();
  std::error_code ec;
  const bool installed = fs::exists(unit, ec);
  std::printf("Unit:      %s (%s)\n", unit.c_str(), installed ? "installed" : "not installed");
  std::string state;
  if (CBackgroundService::Systemctl({"is-active", kUnitName}, &state) == 127) state = "unknown (no systemctl)";
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
