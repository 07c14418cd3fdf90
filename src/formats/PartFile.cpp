#include "formats/PartFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace tarnwick {

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
  CPartFile file(path, mode);
  if (file.ok() && file.Write(bytes) && file.Sync() && file.Commit()) return true;
  error = {file.error(), std::system_category()};
  return false;
}


CPartFile::CPartFile(std::string target, mode_t mode) : target_(std::move(target)) {
  fd_ = CFileDescriptor(CreateTemporaryBeside(target_, mode, path_));
  if (!fd_.valid()) error_ = errno;
}

CPartFile::~CPartFile() {
  fd_.Close();
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool CPartFile::Fail() {
  error_ = errno;
  return false;
}

bool CPartFile::Write(std::string_view bytes) { return WriteAll(fd_.get(), bytes) || Fail(); }

bool CPartFile::SetModified(const struct timespec& modified) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
  return ::futimens(fd_.get(), times) == 0 || Fail();
}

bool CPartFile::Sync() { return ::fsync(fd_.get()) == 0 || Fail(); }

bool CPartFile::Close() { return fd_.Close() || Fail(); }

bool CPartFile::Commit() {
  if (path_.empty()) return false;
  if (!Close()) return false;
  if (::rename(path_.c_str(), target_.c_str()) != 0) return Fail();
  path_.clear();
  return true;
}

}  // namespace tarnwick
