#include "cli/SavedProfile.h"

#include <ctime>
#include <filesystem>

#include "cli/CliCommand.h"

namespace tarnwick::cli {

int ReadSavedProfile(const std::string& name, Profile& profile, ConsolePrompts& prompts) {
  if (const Status problem = ExistingProfileNameProblem(name); !problem.ok()) {
    prompts.ShowMessage(problem.ToString());
    return kExitCannotStart;
  }
  // Looked up without creating anything: a run never changes the program folder.
  const std::string path = ProfileFileOf(name);
  std::error_code ec;
  // Whatever is there is read, so that a FIFO or device in its place is named as such.
  if (!std::filesystem::exists(path, ec)) {
    prompts.ShowMessage("no profile named \"" + name + "\" (" + path + ")");
    return kExitCannotStart;
  }
  if (const Status read = ReadProfile(path, profile, std::time(nullptr)); !read.ok()) {
    prompts.ShowMessage(read.ToString());
    return kExitCannotStart;
  }
  return kExitOk;
}

}  // namespace tarnwick::cli
