#include "formats/FileIo.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

}  // namespace

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
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      error = LastError();
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  return true;
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

bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::error_code& error) {
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  // A name of our own beside the target; O_EXCL keeps us off anything that is already there.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = LastError();
    return false;
  }
  bool ok = WriteAll(fd, bytes, error);
  if (ok && ::fsync(fd) != 0) {
    error = LastError();
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    error = LastError();
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    error = LastError();
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tarnwick
