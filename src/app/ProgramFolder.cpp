#include "app/ProgramFolder.h"

#include <mutex>

namespace tarnwick {
namespace {

std::mutex folderMutex;
std::filesystem::path folder;  // empty: not set yet

}  // namespace

void SetProgramFolder(const std::string& programPath) {
  const auto slash = programPath.rfind('/');
  if (slash == std::string::npos) {
    SetProgramFolderPath(std::filesystem::current_path());
  } else {
    // "/tarnwick" lies in the root folder; its folder text is "/" rather than empty.
    SetProgramFolderPath(std::filesystem::absolute(
        slash == 0 ? std::filesystem::path("/") : std::filesystem::path(programPath.substr(0, slash))));
  }
}

void SetProgramFolderPath(const std::filesystem::path& path) {
  std::lock_guard lock(folderMutex);
  folder = path;
}

std::filesystem::path ProgramFolder() {
  std::lock_guard lock(folderMutex);
  return folder.empty() ? std::filesystem::current_path() : folder;
}

std::filesystem::path PathBesideProgram(const std::string& name) { return ProgramFolder() / name; }

}  // namespace tarnwick
