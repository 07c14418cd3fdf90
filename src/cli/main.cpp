#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CoreDumps.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "cli/CliCommand.h"

namespace tarnwick::cli {

std::vector<CliCommand>& RegisteredCommands() {
  static std::vector<CliCommand> commands;
  return commands;
}

namespace {

void PrintUsage(std::FILE* out) {
  auto commands = RegisteredCommands();
  std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  std::fprintf(out, "%s\n\nUsage: tarnwick-cli COMMAND [ARGS]\n\nCommands:\n", LoadString(IDS_VERSION_TEXT));
  for (const auto& c : commands) {
    std::string synopsis = c.name + (c.usage.empty() ? "" : " " + c.usage);
    std::fprintf(out, "  %-28s %s\n", synopsis.c_str(), c.summary.c_str());
  }
  std::fprintf(out, "  %-28s %s\n  %-28s %s\n", "help", "show this text", "version", "show the version");
}

}  // namespace
}  // namespace tarnwick::cli

int main(int argc, char** argv) {
  using namespace tarnwick;
  using namespace tarnwick::cli;
  if (const Status off = ForbidCoreDumps(); !off.ok()) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", FormatString(IDS_CORE_DUMPS_STAY_ON, off.ToString().c_str()).c_str());
  }
  SetProgramFolder(argc > 0 ? argv[0] : "");
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitCannotStart;
  }
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (name == "version" || name == "--version") {
    std::printf("%s\n", LoadString(IDS_VERSION_TEXT));
    return kExitOk;
  }
  for (const auto& command : RegisteredCommands()) {
    if (command.name == name) {
      return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "tarnwick-cli: unknown command \"%s\"\n\n", name.c_str());
  PrintUsage(stderr);
  return kExitCannotStart;
}
