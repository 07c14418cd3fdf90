#include "engine/LocalCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "app/StringTable.h"
#include "app/Wildcard.h"
#include "engine/EngineTexts.h"
#include "engine/FtpTransfers.h"
#include "formats/FileIo.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = 2 * 1024 * 1024;

std::string ListBetween(const std::string& filter, const char* opener) {
  const auto start = filter.find(opener);
  if (start == std::string::npos) return {};
  const auto end = filter.find(']', start + 2);
  if (end == std::string::npos) return {};
  return filter.substr(start + 2, end - start - 2);
}

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

struct FolderId {
  dev_t device;
  ino_t inode;
  bool operator==(const FolderId&) const = default;
};

// The entries of one folder in name order (the file system's own order is arbitrary on Linux, and
// a stable order makes logs comparable from run to run). "." and ".." are left out. A symbolic
// link counts as what it points to; `id` receives the folder's own identity.
bool ReadFolder(const std::string& folder, std::vector<FolderEntry>& entries, FolderId& id) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  const int fd = ::dirfd(dir);
  struct stat self {};
  if (::fstat(fd, &self) == 0) id = {self.st_dev, self.st_ino};
  while (const dirent* e = ::readdir(dir)) {
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    FolderEntry entry{name, e->d_type == DT_DIR};
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      // A dangling link stays a file: copying it then fails visibly.
      if (::fstatat(fd, name, &st, 0) == 0) entry.isFolder = S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

bool MatchesAny(const std::vector<std::string>& masks, const std::string& name) {
  return std::any_of(masks.begin(), masks.end(), [&](const std::string& m) { return MatchesWildcard(m, name); });
}

class FolderWalk {
 public:
  FolderWalk(const FolderTargets& targets, TransferList& list) : targets_(targets), list_(list) {
    struct stat st {};
    if (!targets.skipFolder.empty() && ::stat(targets.skipFolder.c_str(), &st) == 0) {
      skip_ = FolderId{st.st_dev, st.st_ino};
    }
  }

  void Walk(const std::string& folder, const std::vector<std::string>& include,
            const std::vector<std::string>& exclude, bool recursive, const std::string& destFolder) {
    std::vector<FolderEntry> entries;
    FolderId id{};
    if (!ReadFolder(folder, entries, id)) return;
    // A link back to a folder being walked would never end; such a folder is not entered again.
    if (std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end() || (skip_ && *skip_ == id)) return;
    ancestors_.push_back(id);

    static const std::vector<std::string> kEverything{"*.*"};
    for (const auto& entry : entries) {
      if (!entry.isFolder) continue;
      const std::string destSub = targets_.join(destFolder, entry.name);
      if (targets_.createFolder) targets_.createFolder(destSub);
      if (recursive) {
        Walk(JoinLocalPath(folder, entry.name), include, exclude, true, destSub);
      } else {
        Walk(JoinLocalPath(folder, entry.name), kEverything, {}, false, destSub);
      }
    }

    std::vector<bool> excluded(entries.size(), false);
    if (!exclude.empty()) {
      for (std::size_t i = 0; i < entries.size(); ++i) {
        excluded[i] = !entries[i].isFolder && MatchesAny(exclude, entries[i].name);
      }
    }
    for (const auto& mask : include) {
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        if (entry.isFolder || excluded[i] || !MatchesWildcard(mask, entry.name)) continue;
        list_.push_back({JoinLocalPath(folder, entry.name), targets_.join(destFolder, entry.name)});
      }
    }
    ancestors_.pop_back();
  }

 private:
  const FolderTargets& targets_;
  TransferList& list_;
  std::vector<FolderId> ancestors_;
  std::optional<FolderId> skip_;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and says whether the close reported an error (a delayed write error shows here).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The temporary file a copy is written to; removed unless it was renamed into place.
class TemporaryTarget {
 public:
  TemporaryTarget(const std::string& target, mode_t mode) {
    fd_.Reset(CreateTemporaryBeside(target, mode, path_));
  }
  ~TemporaryTarget() {
    fd_.Close();
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryTarget(const TemporaryTarget&) = delete;
  TemporaryTarget& operator=(const TemporaryTarget&) = delete;

  int fd() const { return fd_.get(); }

  bool Commit(const std::string& target, const struct timespec& modified) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
    if (::futimens(fd_.get(), times) != 0) return false;
    if (!fd_.Close()) return false;
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  std::string path_;
  FileDescriptor fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Moves one chunk (up to kChunkSize bytes, fewer only at the end of the file) from `in` to `out`.
// In-kernel copying is used while the file system takes it; otherwise one reused buffer per
// thread. Returns the bytes moved or -1 on a read or write error; `atEnd` is set once the end of
// the file was seen, so no further call is needed.
long long CopyChunk(int in, int out, bool& inKernel, bool fileStarted, bool& atEnd) {
  std::size_t moved = 0;
  while (moved < kChunkSize) {
    if (inKernel) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunkSize - moved, 0);
      if (n > 0) {
        moved += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // Not supported here (other file systems, special files), or a first "end" that pseudo files
      // report without being empty: let plain reads decide.
      if (n < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
      if (n == 0 && (moved > 0 || fileStarted)) {
        atEnd = true;
        break;
      }
      inKernel = false;
      continue;
    }
    static thread_local std::unique_ptr<char[]> buffer;
    if (!buffer) buffer = std::make_unique<char[]>(kChunkSize);
    const ssize_t n = ::read(in, buffer.get(), kChunkSize - moved);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      atEnd = true;
      break;
    }
    if (!WriteAll(out, buffer.get(), static_cast<std::size_t>(n))) return -1;
    moved += static_cast<std::size_t>(n);
  }
  return static_cast<long long>(moved);
}

// Whether `fd` has nothing after offset `done`: a copy stopped there is already complete.
bool NothingAfter(int fd, long long done) {
  char probe;
  return ::pread(fd, &probe, 1, done) == 0;
}

}  // namespace

FilterLists SplitFilter(const std::string& filter) { return {ListBetween(filter, "+["), ListBetween(filter, "-[")}; }

std::vector<std::string> SplitMaskList(const std::string& list) {
  std::vector<std::string> masks;
  if (list.empty()) return masks;
  std::size_t start = 0;
  for (;;) {
    const auto end = list.find(';', start);
    if (end == std::string::npos) {
      // The last mask needs no ";" after it, also in a list of one character.
      if (start < list.size()) masks.push_back(list.substr(start));
      break;
    }
    masks.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return masks;
}

std::string JoinLocalPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string LastPathComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void EnumerateLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                          const std::string& destFolder, const FolderTargets& targets, TransferList& list) {
  FolderWalk(targets, list).Walk(folder, SplitMaskList(filter.include), SplitMaskList(filter.exclude), recursive,
                                 destFolder);
}

void CollectLocalFolder(JobContext& context, const std::string& folder, const FilterLists& filter, bool recursive,
                        TransferList& list, bool destIsLocal, const std::string& destFolder,
                        CFtpJobConnection* connection) {
  FolderTargets targets;
  targets.join = JoinLocalPath;
  if (destIsLocal) {
    targets.createFolder = [](const std::string& path) { ::mkdir(path.c_str(), 0777); };
    targets.skipFolder = destFolder;
  } else {
    targets.createFolder = [&context, connection](const std::string& path) {
      CreateRemoteFolder(context, *connection, path);
    };
  }
  EnumerateLocalFolder(folder, filter, recursive, destFolder, targets, list);
}

bool CreateLocalFolderChain(const std::string& path) {
  if (path.empty()) return false;
  // Every prefix ending before a "/" is made, except the root itself.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (path[slash - 1] != '/') ::mkdir(path.substr(0, slash).c_str(), 0777);
  }
  if (path.back() != '/') ::mkdir(path.c_str(), 0777);
  return true;
}

bool CopyLocalFile(JobContext& context, const std::string& source, const std::string& target) {
  // O_NONBLOCK keeps the open of a named pipe from waiting for a writer; such files are refused below.
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0) return false;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

  TemporaryTarget out(target, st.st_mode & 0777);
  if (out.fd() < 0) return false;

  const long long size = st.st_size;
  long long done = 0;
  bool inKernel = true;
  bool atEnd = false;
  while (!atEnd) {
    if (context.StopRequested()) {
      // A stop after the last chunk of a file that fills its chunks exactly finds the copy
      // complete; it goes into place like any finished copy.
      if (NothingAfter(in.get(), done)) break;
      return true;  // the temporary file goes; an older copy stays
    }
    const long long moved = CopyChunk(in.get(), out.fd(), inKernel, done > 0, atEnd);
    if (moved < 0) return false;
    if (moved == 0) break;
    done += moved;
    context.observer.OnStatusText(FormatText(kBackingUpText, source.c_str(), static_cast<int>(done / 1024)));
    const long long position = size > 0 ? std::min<long long>(done * 100 / size, 100) : 100;
    context.observer.OnProgress(position, 100);
  }
  return out.Commit(target, st.st_mtim);
}

}  // namespace tarnwick
