#include "engine/LocalFolderWalk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "app/Wildcard.h"

namespace tarnwick {

namespace {

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
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

bool Contains(const std::vector<FolderId>& ids, const FolderId& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool MatchesAny(const std::vector<std::string>& masks, const std::string& name) {
  return std::any_of(masks.begin(), masks.end(), [&](const std::string& m) { return MatchesWildcard(m, name); });
}

class FolderWalk {
 public:
  FolderWalk(const FolderTargets& targets, const FileVisitor& onFile) : targets_(targets), onFile_(onFile) {
    for (const std::string& folder : targets.skipFolders) {
      struct stat st {};
      if (!folder.empty() && ::stat(folder.c_str(), &st) == 0) skip_.push_back(FolderId{st.st_dev, st.st_ino});
    }
  }

  // False once the walk was ended (by the visitor or a stop).
  bool Walk(const std::string& folder, const std::vector<std::string>& include, const std::vector<std::string>& exclude,
            bool recursive, const std::string& destFolder) {
    if (targets_.stopRequested && targets_.stopRequested()) return false;
    std::vector<FolderEntry> entries;
    FolderId id{};
    if (!ReadFolder(folder, entries, id)) {
      if (targets_.onUnreadable) targets_.onUnreadable(folder, errno);
      return true;
    }
    // A link back to a folder being walked would never end; such a folder is not entered again.
    if (Contains(ancestors_, id) || Contains(skip_, id)) return true;
    ancestors_.push_back(id);

    static const std::vector<std::string> kEverything{"*.*"};
    for (const auto& entry : entries) {
      if (!entry.isFolder) continue;
      const std::string destSub = targets_.join(destFolder, entry.name);
      if (targets_.createFolder) targets_.createFolder(destSub);
      const bool more = recursive ? Walk(JoinPath(folder, entry.name), include, exclude, true, destSub)
                                  : Walk(JoinPath(folder, entry.name), kEverything, {}, false, destSub);
      if (!more) return false;
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
        if (!onFile_({JoinPath(folder, entry.name), targets_.join(destFolder, entry.name)})) return false;
      }
    }
    ancestors_.pop_back();
    return true;
  }

 private:
  const FolderTargets& targets_;
  const FileVisitor& onFile_;
  std::vector<FolderId> ancestors_;
  std::vector<FolderId> skip_;
};

}  // namespace

bool WalkLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                     const std::string& destFolder, const FolderTargets& targets, const FileVisitor& onFile) {
  return FolderWalk(targets, onFile)
      .Walk(folder, SplitMaskList(filter.include), SplitMaskList(filter.exclude), recursive, destFolder);
}

void EnumerateLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                          const std::string& destFolder, const FolderTargets& targets, TransferList& list) {
  WalkLocalFolder(folder, filter, recursive, destFolder, targets, [&list](TransferEntry&& entry) {
    list.push_back(std::move(entry));
    return true;
  });
}

}  // namespace tarnwick
