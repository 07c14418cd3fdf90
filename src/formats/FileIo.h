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

// Writes `bytes` to a new file beside `path` and renames it over `path` once complete, so a failed
// write never leaves a truncated file behind. `mode` is the new file's mode (before the umask).
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::error_code& error);

}  // namespace tarnwick
