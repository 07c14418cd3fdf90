// tarnwick-cli describe: a profile's destination, schedule sentence and next run time.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ConsolePrompts.h"
#include "app/ControlCharacters.h"
#include "app/StringTable.h"
#include "cli/CliCommand.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {
namespace {

// A path when the argument names a file, otherwise the name of a profile in the program folder.
bool ResolveProfile(const std::string& argument, std::string& path, UserPrompts& prompts) {
  const bool isPath = argument.find('/') != std::string::npos ||
                      (argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".pfl") == 0);
  if (!isPath) {
    // Any name a profile file already has will do, also one a new profile could not be given.
    if (const Status problem = ExistingProfileNameProblem(argument); !problem.ok()) {
      prompts.ShowMessage(problem.ToString());
      return false;
    }
  }
  path = isPath ? argument : ProfileFileOf(argument);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    prompts.ShowMessage("no profile \"" + argument + "\" (" + path + " does not exist)");
    return false;
  }
  return true;
}

int RunDescribe(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "tarnwick-cli: describe takes one profile name or .pfl path\n");
    return kExitCannotStart;
  }
  std::string path;
  Profile profile;
  const std::time_t now = std::time(nullptr);
  ConsolePrompts prompts(stderr);
  if (!ResolveProfile(args.front(), path, prompts)) return kExitCannotStart;
  // A file that cannot be read, or is not a profile at all, is said so: never described as defaults.
  if (const Status read = ReadProfile(path, profile, now); !read.ok()) {
    prompts.ShowMessage(read.ToString());
    return kExitCannotStart;
  }

  ScheduleRecord& schedule = profile.schedule;
  std::string sentence, nextRun;
  if (profile.isScheduled) {
    const std::tm start = LocalFields(schedule.startTime);
    DescribeSchedule(schedule, start.tm_hour, start.tm_min, schedule.onceDate, sentence);
    nextRun = schedule.enabled ? FormatNextRun(schedule, true, now) : LoadString(IDS_SCHEDULE_DISABLED);
  } else {
    // A quick-launch profile runs only on demand.
    nextRun = LoadString(IDS_NEVER);
  }
  std::printf("Destination: %s\nSchedule: %s\nNext run: %s\n",
              EscapeControlCharacters(DestinationText(profile, now)).c_str(), sentence.c_str(), nextRun.c_str());
  return kExitOk;
}

const CliCommandRegistration registration({"describe", "NAME|PATH.pfl",
                                           "show a profile's destination, schedule and next run", RunDescribe});

}  // namespace
}  // namespace tarnwick::cli
