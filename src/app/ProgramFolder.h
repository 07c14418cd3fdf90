// The program folder: where "profiles.ini", the Profile folder and the account files live.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwick {

// Sets the program folder from the program's own path (argv[0]): the text up to its last "/",
// or the current directory when the path has no "/". Each front end calls this once at start-up.
void SetProgramFolder(const std::string& programPath);

// Sets the program folder directly (tests, tools).
void SetProgramFolderPath(const std::filesystem::path& folder);

// The program folder; the current directory until one of the setters ran.
std::filesystem::path ProgramFolder();

// A file or folder beside the program.
std::filesystem::path PathBesideProgram(const std::string& name);

}  // namespace tarnwick
