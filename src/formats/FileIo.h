// Whole-file reads and replacing writes shared by the stored formats.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarnwick {

// What a file operation of the storage formats ended with: success, or the system's error number.
// The formats hold no texts; a caller that shows the failure names the file and the reason.
struct IoResult {
  int sysError = 0;  // errno of the failed step; 0 for success

  bool ok() const { return sysError == 0; }
  static IoResult FromErrno();  // the current errno
};

// Reads from `fd` to its end into `out` (appending). A read error ends it; what was read stays.
IoResult ReadAll(int fd, std::string& out);

// Writes all of `bytes` to `fd`, carrying on after short writes and interruptions.
IoResult WriteAll(int fd, std::string_view bytes);

// Opens `path` read-only and reads it whole.
IoResult ReadWholeFile(const std::string& path, std::string& out);

// A hidden name beside `target` (same folder) for a file that is being written and is renamed over
// the target once complete: ".tarnwick-<pid>-<salt>-<n>.part". The salt keeps two machines writing
// to one server folder apart; the counter keeps the threads of one process apart.
std::string TemporaryNameBeside(const std::string& target);

// Creates a new file under a temporary name beside `target`, exclusively and with `mode` (before the
// umask). The open descriptor, and the name in `path`; -1 with errno set when none could be made.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& path);

// Writes `bytes` to a new file beside `path` and renames it over `path` once complete, so a failed
// write never leaves a truncated file behind. `mode` is the new file's mode (before the umask).
IoResult ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode);

}  // namespace tarnwick
