#include "zip/ZipFileReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "zip/ZipException.h"

namespace tarnwick {

CZipFileReader::CZipFileReader(const std::string& path) : path_(path) {
  // Non-blocking, so a named pipe cannot hang the open; only regular files are read (a pipe could
  // hang the job, a device such as /dev/zero fill the disk).
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return;
  if (::fstat(fd_, &status_) != 0 || !S_ISREG(status_.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  // Worth a call only for files read in many pieces.
  if (status_.st_size >= (1 << 20)) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

CZipFileReader::~CZipFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t CZipFileReader::Read(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) {
      read_ += got;
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) throw CZipException(CZipException::CauseFromErrno(errno), path_, errno);
  }
}

std::int64_t CZipFileReader::RemainingSize() const {
  if (!S_ISREG(status_.st_mode)) return -1;
  return status_.st_size > read_ ? status_.st_size - read_ : 0;
}

}  // namespace tarnwick
