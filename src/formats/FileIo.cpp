#include "formats/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

}  // namespace

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

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

bool ReadAll(int fd, std::string& out, std::error_code& error) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = LastError();
      return false;
    }
    out.append(chunk, static_cast<size_t>(got));
  }
}

bool WriteAll(int fd, std::string_view bytes, std::error_code& error) {
  if (WriteAll(fd, bytes)) return true;
  error = LastError();
  return false;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::error_code& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = LastError();
    return false;
  }
  const bool ok = ReadAll(fd, out, error);
  ::close(fd);
  return ok;
}

}  // namespace tarnwick
