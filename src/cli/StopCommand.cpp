// tarnwick-cli stop: what Stop in the window does to a run of the background service. The holder
// of the scheduler lock is asked on its socket to stop the profile it backs up now; it logs the
// stop and goes on monitoring. Success only when it answered that it stops a backup.
#include <cstdio>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "cli/CliCommand.h"
#include "engine/SchedulerLock.h"

namespace tarnwick::cli {
namespace {

int RunStop(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tarnwick-cli: stop takes no arguments\n");
    return kExitCannotStart;
  }
  StopAnswer answer;
  if (const Status asked = CSchedulerLock::RequestStop(CSchedulerLock::DefaultPath(), answer); !asked.ok()) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", EscapeControlCharacters(asked.ToString()).c_str());
    return kExitFailed;
  }
  const std::string text = CSchedulerLock::StopAnsweredText(answer);
  if (answer.kind != StopAnswer::Kind::Stopping) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", text.c_str());
    return kExitFailed;
  }
  std::printf("%s\n", text.c_str());
  return kExitOk;
}

const CliCommandRegistration registration(
    {"stop", "", "stop the backup the background service is running now (it goes on monitoring)", RunStop});

}  // namespace
}  // namespace tarnwick::cli
