// The commands of tarnwick-cli. Each command lives in a file of its own and registers itself with
// a static CliCommandRegistration, so main only dispatches.
#pragma once

#include <string>
#include <vector>

#include "engine/RunReport.h"

namespace tarnwick::cli {

// Exit statuses shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;       // the work ran but did not succeed
constexpr int kExitCannotStart = 2;  // bad arguments, unknown profile, nothing could start

// The exit status of a run from its report: 0 only when it completed without any failure, 2 when
// it could not start, 1 otherwise.
int ExitCodeOf(const RunReport& report);

struct CliCommand {
  std::string name;
  std::string usage;    // argument synopsis, e.g. "NAME [--log FILE]"
  std::string summary;  // one line for the usage text
  int (*run)(const std::vector<std::string>& args);
};

std::vector<CliCommand>& RegisteredCommands();

struct CliCommandRegistration {
  explicit CliCommandRegistration(CliCommand command) { RegisteredCommands().push_back(std::move(command)); }
};

}  // namespace tarnwick::cli
