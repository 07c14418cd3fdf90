#include "formats/PartFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

namespace tarnwick {

namespace {

constexpr char kTemporaryPrefix[] = ".tarnwick-";
constexpr char kTemporarySuffix[] = ".part";

// FNV-1a: a stable, well-spread 32-bit number from a text.
std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// This machine's mark in temporary names: its machine id (stable across boots), and its host name
// for machines without one.
std::uint32_t MachineMark() {
  static const std::uint32_t mark = [] {
    std::string identity;
    if (std::FILE* file = std::fopen("/etc/machine-id", "re")) {
      char line[128] = {};
      if (std::fgets(line, sizeof line, file) != nullptr) identity = line;
      std::fclose(file);
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) identity += host;
    return Fnv1a(identity);
  }();
  return mark;
}

// The process id in a temporary name of this machine; nothing for any other name.
std::optional<pid_t> OwnProcessOf(std::string_view name) {
  const std::size_t prefix = sizeof kTemporaryPrefix - 1;
  const std::size_t suffix = sizeof kTemporarySuffix - 1;
  if (name.size() <= prefix + suffix || name.substr(0, prefix) != kTemporaryPrefix ||
      name.substr(name.size() - suffix) != kTemporarySuffix) {
    return std::nullopt;
  }
  const std::string middle(name.substr(prefix, name.size() - prefix - suffix));
  long pid = 0;
  unsigned mark = 0;
  unsigned counter = 0;
  int consumed = 0;
  if (std::sscanf(middle.c_str(), "%ld-%8x-%u%n", &pid, &mark, &counter, &consumed) != 3 ||
      static_cast<std::size_t>(consumed) != middle.size() || pid <= 0 || pid > std::numeric_limits<pid_t>::max() ||
      mark != MachineMark()) {
    return std::nullopt;
  }
  // Only the name exactly as TemporaryNameBeside writes it is ours: the reading above also takes
  // signs, blanks, leading zeros and "0x", and a file named so was made by someone else.
  char canonical[64];
  std::snprintf(canonical, sizeof canonical, "%ld-%08x-%u", pid, mark, counter);
  if (middle != canonical) return std::nullopt;
  return static_cast<pid_t>(pid);
}

}  // namespace

std::string TemporaryNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  char name[64];
  std::snprintf(name, sizeof name, "%s%d-%08x-%u%s", kTemporaryPrefix, static_cast<int>(::getpid()), MachineMark(),
                counter.fetch_add(1, std::memory_order_relaxed), kTemporarySuffix);
  return folder + name;
}

bool IsStaleTemporaryName(std::string_view name) {
  const std::optional<pid_t> pid = OwnProcessOf(name);
  if (!pid || *pid == ::getpid()) return false;
  // EPERM: the process runs under another user; it is alive all the same.
  return ::kill(*pid, 0) != 0 && errno == ESRCH;
}

int RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsStaleTemporaryName(entry->d_name) && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
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
  CPartFile file(path, mode);
  if (file.ok() && file.Write(bytes) && file.Sync() && file.Commit()) return {};
  return {file.error() != 0 ? file.error() : EIO};
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

bool CPartFile::Write(std::string_view bytes) {
  const IoResult written = WriteAll(fd_.get(), bytes);
  if (written.ok()) return true;
  error_ = written.sysError;
  return false;
}

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
