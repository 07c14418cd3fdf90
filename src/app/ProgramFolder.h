// The program folder and the folders that follow from it: where the data files (config.xml,
// profiles.ini, the Profile folder, the account files) and the manual lie.
//
// Run from a folder the user can write to (a build, an unpacked copy), everything lies beside the
// program, as it always has. An installed program cannot keep its files beside itself. It counts
// as installed when the program's folder is not writable, or when the running executable lies in a
// folder the user cannot write to, in the bin folder the build installs into, or in a bin folder
// with the installed manual at its place beside it (../share/tarnwick/help: an installed tree,
// wherever its prefix). Then the data files go to $XDG_DATA_HOME/tarnwick (~/.local/share/tarnwick
// when unset) and the manual is the installed one: that of the tree, else the configured prefix's.
// tarnwick and tarnwick-cli follow the same rule, so they share one catalogue.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tarnwick {

// Where things lie, as the folder rule decides.
struct ProgramLocations {
  std::filesystem::path programFolder;  // argv[0] up to its last "/", else the current directory
  std::filesystem::path dataFolder;     // config.xml, profiles.ini, Profile/, ftpac.ini, ftpsrc.ini
  std::filesystem::path manualFolder;   // the HTML manual (index.htm, Started/basicset.htm, ...)
  bool installed = false;               // the data folder is the per-user folder, not the program's
};

// What the folder rule asks of the system; tests replace it.
struct FolderProbe {
  std::filesystem::path executable;       // the running program's own file, symbolic links resolved
  std::filesystem::path installedBin;     // the bin folder of the configured install prefix
  std::filesystem::path installedManual;  // the manual folder of the configured install prefix
  std::filesystem::path manualFromBin;    // the manual relative to the bin folder ("../share/tarnwick/help")
  std::function<bool(const std::filesystem::path&)> isWritable;
};

// The running system: /proc/self/exe, the install folders the build was configured with,
// FolderIsWritable.
FolderProbe SystemFolderProbe();

// True when this process may create files in `folder` (write and search permission for its
// effective ids, and a file system mounted writable). False for a folder that does not exist.
// Root may write almost anywhere, which is why the installed bin folder also counts as installed.
bool FolderIsWritable(const std::filesystem::path& folder);

// The user's home: $HOME, or when unset or empty the user database's; empty when neither is known.
std::filesystem::path UserHomeFolder();

// The per-user data folder: $XDG_DATA_HOME/tarnwick when that variable holds an absolute path,
// else <home>/.local/share/tarnwick with <home> from $HOME or, when unset, the user database.
// Empty when no home can be found. Nothing is created.
std::filesystem::path UserDataFolder();

// Applies the folder rule to the program's own path (argv[0]). Reads the environment and the
// current directory; creates nothing.
ProgramLocations ResolveProgramLocations(const std::string& programPath, const FolderProbe& probe);

// Sets the folders from the program's own path (argv[0]) with the system's probe. Each front end
// calls this once at start-up. For an installed program a missing data folder is created, with
// mode 0700 for each folder it adds (it will hold passwords); should that fail, the files in it
// fail later with messages that name them.
void SetProgramFolder(const std::string& programPath);

// Sets the folders directly, everything beside `folder` (tests, tools).
void SetProgramFolderPath(const std::filesystem::path& folder);

// The folder of the program's own path; the current directory until one of the setters ran.
std::filesystem::path ProgramFolder();

// Where the data files lie: the program folder, or the per-user folder of an installed program.
std::filesystem::path DataFolder();

// A data file or folder: DataFolder() / name. ("Beside the program" for a program that is not
// installed, the name the program has always used for it.)
std::filesystem::path PathBesideProgram(const std::string& name);

// The settings file: the bare name "config.xml", relative to the current directory, for a program
// that is not installed (the place it has always been read from); DataFolder() / "config.xml" for
// an installed one.
std::filesystem::path SettingsFilePath();

// The folder of the HTML manual: <program folder>/help, or the installed share folder.
std::filesystem::path ManualFolder();

// Whether the data files lie in the per-user folder.
bool IsInstalledProgram();

}  // namespace tarnwick
