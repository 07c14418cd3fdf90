#include "formats/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick {

IoResult IoResult::FromErrno() { return {errno != 0 ? errno : EIO}; }

bool CFileDescriptor::Close() {
  const int fd = std::exchange(fd_, -1);
  return fd < 0 || ::close(fd) == 0;
}

ssize_t ReadFull(int fd, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

IoResult ReadAll(int fd, std::string& out) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      return IoResult::FromErrno();
    }
    out.append(chunk, static_cast<size_t>(got));
  }
}

IoResult WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return IoResult::FromErrno();
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  return {};
}

IoResult ReadWholeFile(const std::string& path, std::string& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return IoResult::FromErrno();
  const IoResult result = ReadAll(fd, out);
  ::close(fd);
  return result;
}

}  // namespace tarnwick
