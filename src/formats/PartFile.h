// A file written under a temporary name beside its target and put in place by a rename only once it
// is complete, so a reader never sees a part and an older target survives every failure. Used for
// copies, downloads, archives and the stored formats alike.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/FileIo.h"

namespace tarnwick {

// A hidden name beside `target` (same folder) for a file that is being written and is renamed over
// the target once complete: ".tarnwick-<pid>-<machine>-<n>.part". <machine> (8 hex digits from the
// machine's identity) keeps two machines writing to one server folder apart; the counter keeps the
// threads of one process apart. The name tells which process of which machine wrote it, so a later
// run can recognise what a killed run left behind.
std::string TemporaryNameBeside(const std::string& target);

// Whether the file name `name` (without folder) is a temporary file left by a process of this
// machine that no longer runs. Names of other machines, of live processes and anything that is not
// such a name are never stale.
bool IsStaleTemporaryName(std::string_view name);

// Removes the stale temporary files (IsStaleTemporaryName) directly in `folder`; the number removed.
int RemoveStaleTemporaries(const std::string& folder);

// Creates a new file under a temporary name beside `target`, exclusively and with `mode` (before the
// umask). The open descriptor, and the name in `path`; -1 with errno set when none could be made.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& path);

// Writes `bytes` to a new file beside `path` and renames it over `path` once complete, so a failed
// write never leaves a truncated file behind. `mode` is the new file's mode (before the umask).
IoResult ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode);

class CPartFile {
 public:
  // Creates the temporary file beside `target` (exclusively, with `mode` before the umask). ok()
  // tells whether it exists; error() holds errno when not.
  CPartFile(std::string target, mode_t mode);
  // Removes the temporary file unless it was committed.
  ~CPartFile();
  CPartFile(const CPartFile&) = delete;
  CPartFile& operator=(const CPartFile&) = delete;

  bool ok() const { return !path_.empty(); }
  int fd() const { return fd_.get(); }
  // The temporary file's name (empty once committed or when it could not be made).
  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }
  // errno of the last failed step.
  int error() const { return error_; }

  // Appends `bytes`; false (error() set) on a write error.
  bool Write(std::string_view bytes);
  // Gives the file the modification time `modified` (its access time is left alone).
  bool SetModified(const struct timespec& modified);
  // Flushes the data to the disk before the rename, for files whose loss would cost settings.
  bool Sync();
  // Closes the descriptor (a delayed write error shows here); the file stays for Commit.
  bool Close();
  // Closes and renames the file over the target. False (error() set) on any failure; the temporary
  // file is then still removed when this goes away.
  bool Commit();

 private:
  bool Fail();

  std::string target_;
  std::string path_;
  CFileDescriptor fd_;
  int error_ = 0;
};

}  // namespace tarnwick
