#include "formats/FileIo.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
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

bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::error_code& error) {
  std::string temp;
  const int fd = CreateTemporaryBeside(path, mode, temp);
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
