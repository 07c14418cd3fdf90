#include "formats/FileIo.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

IoResult IoResult::FromErrno() { return {errno != 0 ? errno : EIO}; }

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

std::string TemporaryNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}();
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  char name[64];
  std::snprintf(name, sizeof name, ".tarnwick-%d-%x-%u.part", static_cast<int>(::getpid()), salt,
                counter.fetch_add(1, std::memory_order_relaxed));
  return folder + name;
}

int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& path) {
  // O_EXCL keeps us off anything that is already there; a clash only costs another name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = TemporaryNameBeside(target);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) path.clear();
      return fd;
    }
  }
  path.clear();
  return -1;
}

IoResult ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode) {
  std::string temp;
  const int fd = CreateTemporaryBeside(path, mode, temp);
  if (fd < 0) return IoResult::FromErrno();
  IoResult result = WriteAll(fd, bytes);
  if (result.ok() && ::fsync(fd) != 0) result = IoResult::FromErrno();
  if (::close(fd) != 0 && result.ok()) result = IoResult::FromErrno();
  if (result.ok() && ::rename(temp.c_str(), path.c_str()) != 0) result = IoResult::FromErrno();
  if (!result.ok()) ::unlink(temp.c_str());
  return result;
}

}  // namespace tarnwick
