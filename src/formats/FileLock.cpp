#include "formats/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tarnwick {
namespace {

// Opens the lock file, creating it. A lock file that someone else created and we may not write is
// still good for locking: flock needs no write access.
int OpenLockFile(const std::string& lockPath) {
  // O_NOFOLLOW: a link planted at the lock file's name must not make us create its target.
  const int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | flags, 0600);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::open(lockPath.c_str(), O_RDONLY | flags);
}

}  // namespace

std::string CFileLock::LockPathOf(const std::string& path) { return path + ".lock"; }

CFileLock::CFileLock(const std::string& path, std::chrono::milliseconds patience)
    : fd_(OpenLockFile(LockPathOf(path))) {
  if (!fd_.valid()) {
    error_ = errno;
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
