// tarnwick-cli stop: what Stop in the window does to a run of the background service. The holder
// of the scheduler lock is asked to stop the profile it backs up now; it logs the stop and goes on
// monitoring.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "engine/SchedulerLock.h"

namespace tarnwick::cli {
namespace {

int RunStop(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tarnwick-cli: stop takes no arguments\n");
    return kExitCannotStart;
  }
  CSchedulerLock::Holder asked;
  if (const Status sent = CSchedulerLock::RequestStop(CSchedulerLock::DefaultPath(), asked); !sent.ok()) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", sent.ToString().c_str());
    return kExitFailed;
  }
  std::printf("%s\n", CSchedulerLock::StopRequestedText(asked).c_str());
  return kExitOk;
}

const CliCommandRegistration registration(
    {"stop", "", "stop the backup the background service is running now (it goes on monitoring)", RunStop});

}  // namespace
}  // namespace tarnwick::cli
