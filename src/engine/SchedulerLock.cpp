#include "engine/SchedulerLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/ProgramFolder.h"

namespace tarnwick {
namespace {

int LockOnce(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

CSchedulerLock::CSchedulerLock(std::filesystem::path lockFile, std::string holderText)
    : path_(std::move(lockFile)), holderText_(std::move(holderText)) {}

std::filesystem::path CSchedulerLock::DefaultPath() { return DataFolder() / kFileName; }

bool CSchedulerLock::TryAcquire() {
  if (held_) return true;
  if (!fd_.valid()) {
    // O_NOFOLLOW: a link planted at the lock's name must not make us create or truncate its target.
    fd_ = CFileDescriptor(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (!fd_.valid()) {
      error_ = Status::IoError(path_.string(), errno);
      return false;
    }
    error_ = {};
  }
  if (LockOnce(fd_.get(), LOCK_EX) != 0) return false;
  held_ = true;
  // Who holds it is only a hint for the others: a failure to write it costs nothing else.
  if (::ftruncate(fd_.get(), 0) == 0) (void)::pwrite(fd_.get(), holderText_.data(), holderText_.size(), 0);
  return true;
}

void CSchedulerLock::Release() {
  if (!held_) return;
  (void)::ftruncate(fd_.get(), 0);
  fd_ = CFileDescriptor();  // closing the descriptor lets go of the lock
  held_ = false;
}

std::optional<std::string> CSchedulerLock::CurrentHolder(const std::filesystem::path& lockFile) {
  const CFileDescriptor fd(::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  // A shared lock is only refused while someone holds the exclusive one; it goes with the descriptor.
  if (LockOnce(fd.get(), LOCK_SH) == 0) return std::nullopt;
  std::string text;
  (void)ReadAll(fd.get(), text);
  return text;
}

}  // namespace tarnwick
