#include "formats/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tarnwick {
namespace {

// Opens the lock file, creating it. A lock file that someone else created and we may not write is
// still good for locking: flock needs no write access. Under the reading rule (FileIo.h), so a
// FIFO or device at the name is refused rather than waited on.
IoResult OpenLockFile(const std::string& lockPath, CFileDescriptor& fd) {
  // O_NOFOLLOW: a link planted at the lock file's name must not make us create its target.
  const IoResult opened = OpenStoredFile(lockPath, kLockFileLimit, fd, O_RDWR | O_CREAT | O_NOFOLLOW);
  if (opened.sysError != EACCES) return opened;
  return OpenStoredFile(lockPath, kLockFileLimit, fd, O_RDONLY | O_NOFOLLOW);
}

}  // namespace

std::string CFileLock::LockPathOf(const std::string& path) { return path + ".lock"; }

CFileLock::CFileLock(const std::string& path, std::chrono::milliseconds patience) {
  if (const IoResult opened = OpenLockFile(LockPathOf(path), fd_); !opened.ok()) {
    error_ = opened.sysError;
    return;
  }
  // Polled rather than blocking, so a stuck holder costs a bounded wait. The pause grows from
  // 1 ms, so a lock held for the few milliseconds of a save is taken almost at once.
  const auto deadline = std::chrono::steady_clock::now() + patience;
  std::chrono::milliseconds pause{1};
  for (;;) {
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      error_ = errno;
      return;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds{20});
  }
}

// Closing the descriptor releases the lock.
CFileLock::~CFileLock() = default;

}  // namespace tarnwick
