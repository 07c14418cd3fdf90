// An advisory lock between processes over a file that several of them read, change and write back
// whole (profiles.ini, config.xml, the account files): without it two processes that load the file
// at the same time each write back their own change, and one of them is lost.
//
// The lock is flock() on a file of its own beside the guarded one, "<path>.lock", never on the
// guarded file itself: that file is replaced by a rename at every save, so a lock on it would be
// left behind on the old file. The lock file stays (removing it would let a waiting process lock a
// file that no longer has a name while a newcomer locks a new one).
#pragma once

#include <chrono>
#include <string>

#include "formats/FileIo.h"

namespace tarnwick {

class CFileLock {
 public:
  // How long a lock is waited for. A holder that keeps it longer is stuck (stopped in a debugger,
  // say); going on without the lock then costs at most that update, never the waiting program.
  static constexpr std::chrono::milliseconds kDefaultPatience{10000};

  // The lock file of `path`: "<path>.lock".
  static std::string LockPathOf(const std::string& path);

  // Takes the lock of `path`, waiting while another process (or another CFileLock of this process)
  // holds it. Held() tells whether it was got; when not, error() holds errno (EWOULDBLOCK after
  // `patience`, or why the lock file could not be opened or created; it is created 0600; EINVAL
  // for a lock file that is not a regular file, EFBIG for one over kLockFileLimit). The
  // caller then goes on without the lock: a folder where the lock file cannot be made is one where
  // the guarded file cannot be replaced either.
  explicit CFileLock(const std::string& path, std::chrono::milliseconds patience = kDefaultPatience);
  // Lets go of the lock.
  ~CFileLock();
  CFileLock(const CFileLock&) = delete;
  CFileLock& operator=(const CFileLock&) = delete;

  bool Held() const { return held_; }
  int error() const { return error_; }

 private:
  CFileDescriptor fd_;
  bool held_ = false;
  int error_ = 0;
};

}  // namespace tarnwick
