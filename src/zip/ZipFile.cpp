#include "zip/ZipFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "zip/ZipException.h"

namespace tarnwick {

CZipFile::CZipFile(const std::string& path) : path_(path) {
  // No O_TRUNC: truncating, even a file that is already empty, makes ext4 (auto_da_alloc) start
  // writing the whole archive back inside close(), tens of milliseconds per 100 MB that the caller
  // waits for. The archive usually goes to a fresh temporary file; only a file with contents is cut.
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) Fail(errno);
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || (S_ISREG(status.st_mode) && status.st_size > 0 && ::ftruncate(fd_, 0) != 0)) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    Fail(error);
  }
}

CZipFile::~CZipFile() {
  if (fd_ >= 0) ::close(fd_);
}

void CZipFile::Fail(int error) const { throw CZipException(CZipException::CauseFromErrno(error), path_, error); }

void CZipFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (written == 0) Fail(ENOSPC);
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

void CZipFile::Seek(std::uint64_t position) {
  if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) Fail(errno);
}

void CZipFile::Truncate(std::uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) Fail(errno);
}

void CZipFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail(errno);
}

bool CZipFile::IsSameFile(const struct stat& status) const {
  struct stat own {};
  return fd_ >= 0 && ::fstat(fd_, &own) == 0 && own.st_dev == status.st_dev && own.st_ino == status.st_ino;
}

}  // namespace tarnwick
