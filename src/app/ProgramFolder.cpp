#include "app/ProgramFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "app/ProgramSettings.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::mutex locationsMutex;
ProgramLocations locations;  // programFolder empty: not set yet

ProgramLocations BesideProgram(const fs::path& folder) { return {folder, folder, folder / "help", false}; }

// argv[0] up to its last "/", made absolute now, so a later change of directory does not move it.
fs::path FolderOfProgramPath(const std::string& programPath) {
  const auto slash = programPath.rfind('/');
  if (slash == std::string::npos) return fs::current_path();
  // "/tarnwick" lies in the root folder; its folder text is "/" rather than empty.
  return fs::absolute(slash == 0 ? fs::path("/") : fs::path(programPath.substr(0, slash)));
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) || a.lexically_normal() == b.lexically_normal();
}

// Creates `folder` and any missing parents, each 0700; an existing folder is left as it is.
void CreateOwnerOnlyFolders(const fs::path& folder) {
  fs::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

}  // namespace

FolderProbe SystemFolderProbe() {
  std::error_code ec;
  fs::path executable = fs::read_symlink("/proc/self/exe", ec);
  return {ec ? fs::path() : executable, TARNWICK_INSTALL_BINDIR, TARNWICK_INSTALL_MANUALDIR,
          TARNWICK_MANUAL_FROM_BINDIR, FolderIsWritable};
}

bool FolderIsWritable(const fs::path& folder) {
  // The effective ids decide what the process may create, not the real ones.
  std::error_code ec;
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 && fs::is_directory(folder, ec);
}

fs::path UserHomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  // getpwuid_r: the home may be asked for from more than one thread.
  struct passwd record {};
  struct passwd* entry = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &record, buffer, sizeof buffer, &entry) == 0 && entry != nullptr) return entry->pw_dir;
  return {};
}

fs::path UserDataFolder() {
  // Relative values are invalid by the base-directory rules and are ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return fs::path(dataHome) / "tarnwick";
  const fs::path home = UserHomeFolder();
  if (home.empty()) return {};
  return home / ".local/share/tarnwick";
}

ProgramLocations ResolveProgramLocations(const std::string& programPath, const FolderProbe& probe) {
  ProgramLocations result = BesideProgram(FolderOfProgramPath(programPath));
  // A bare argv[0] was found through PATH, so the current directory says nothing about where the
  // program lies; its own file does.
  const fs::path executableFolder = probe.executable.parent_path();
  // An installed tree moved elsewhere (or installed with another --prefix) still has its manual at
  // the same place relative to its bin folder.
  const fs::path movedManual = (executableFolder / probe.manualFromBin).lexically_normal();
  std::error_code ec;
  const bool inInstalledTree =
      !executableFolder.empty() && !probe.manualFromBin.empty() && fs::is_directory(movedManual, ec);
  const bool installed =
      !probe.isWritable(result.programFolder) ||
      (!executableFolder.empty() &&
       (!probe.isWritable(executableFolder) || SameFolder(executableFolder, probe.installedBin) || inInstalledTree));
  const fs::path userFolder = installed ? UserDataFolder() : fs::path();
  if (userFolder.empty()) return result;  // no home: the program folder is all there is
  result.dataFolder = userFolder;
  result.manualFolder = inInstalledTree ? movedManual : probe.installedManual;
  result.installed = true;
  return result;
}

void SetProgramFolder(const std::string& programPath) {
  const ProgramLocations resolved = ResolveProgramLocations(programPath, SystemFolderProbe());
  if (resolved.installed) CreateOwnerOnlyFolders(resolved.dataFolder);
  std::lock_guard lock(locationsMutex);
  locations = resolved;
}

void SetProgramFolderPath(const fs::path& path) {
  std::lock_guard lock(locationsMutex);
  locations = BesideProgram(path);
}

namespace {

ProgramLocations CurrentLocations() {
  std::lock_guard lock(locationsMutex);
  return locations.programFolder.empty() ? BesideProgram(fs::current_path()) : locations;
}

}  // namespace

fs::path ProgramFolder() { return CurrentLocations().programFolder; }

fs::path DataFolder() { return CurrentLocations().dataFolder; }

fs::path PathBesideProgram(const std::string& name) { return DataFolder() / name; }

fs::path SettingsFilePath() {
  const ProgramLocations current = CurrentLocations();
  return current.installed ? current.dataFolder / ProgramSettings::kFileName : fs::path(ProgramSettings::kFileName);
}

fs::path ManualFolder() { return CurrentLocations().manualFolder; }

bool IsInstalledProgram() { return CurrentLocations().installed; }

}  // namespace tarnwick
