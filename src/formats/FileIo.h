// Whole-file reads and replacing writes shared by the stored formats.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

namespace tarnwick {

// Reads from `fd` to its end into `out` (appending). False on a read error; what was read stays.
bool ReadAll(int fd, std::string& out, std::error_code& error);

// Writes all of `bytes` to `fd`, carrying on after short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes, std::error_code& error);

// Opens `path` read-only and reads it whole.
bool ReadWholeFile(const std::string& path, std::string& out, std::error_code& error);

// A hidden name beside `target` (same folder) for a file that is being written and is renamed over
// the target once complete: ".tarnwick-<pid>-<salt>-<n>.part". The salt keeps two machines writing
// to one server folder apart; the counter keeps the threads of one process apart.
std::string TemporaryNameBeside(const std::string& target);

// Creates a new file under a temporary name beside `target`, exclusively and with `mode` (before the
// umask). The open descriptor, and the name in `path`; -1 with errno set when none could be made.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& path);

// Writes `bytes` to a new file beside `path` and renames it over `path` once complete, so a failed
// write never leaves a truncated file behind. `mode` is the new file's mode (before the umask).
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::error_code& error);

}  // namespace tarnwick
