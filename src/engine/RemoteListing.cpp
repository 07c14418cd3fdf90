#include "engine/RemoteListing.h"

#include <map>
#include <set>
#include <utility>

#include "app/Wildcard.h"
#include "engine/PathFilter.h"

namespace tarnwick {

namespace {

using ListingCache = std::map<std::string, std::vector<FtpFileInfo>>;

// One walk over a remote folder: the session, the server kind and the listings made so far, so a
// folder is listed once however many masks ask for it.
class RemoteWalk {
 public:
  RemoteWalk(CFtpJobConnection& connection, bool serverIsUnix) : connection_(connection), serverIsUnix_(serverIsUnix) {}

  void List(const std::string& folder, std::vector<std::string>& list, const std::string& mask, bool recursive,
            const std::string& subFolderMask, int depth = 0) {
    if (depth > kMaxDepth) return;
    std::vector<std::string> subFolders;
    // Copied: a deeper listing may grow the cache while this folder is walked.
    const std::vector<FtpFileInfo> entries = Entries(folder);
    for (const FtpFileInfo& entry : entries) {
      // Only a line the FTP layer could not read needs the UNIX rule; parsed names keep their blanks.
      const std::string name =
          entry.unparsed && serverIsUnix_ ? std::string(UnixNameOfUnparsedLine(entry.name)) : entry.name;
      if (name.empty() || name == "." || name == "..") continue;
      if (!MatchesWildcard(mask, name)) continue;
      if (entry.isDirectory) {
        subFolders.push_back(name);
      } else {
        list.push_back(JoinPath(folder, name));
      }
    }
    for (const std::string& name : subFolders) {
      const std::string sub = JoinPath(folder, name);
      if (recursive) {
        List(sub, list, mask, true, subFolderMask, depth + 1);
      } else if (!subFolderMask.empty()) {
        List(sub, list, subFolderMask, false, subFolderMask, depth + 1);
      }
    }
  }

 private:
  // A server may show a link back to a folder above as a sub-folder; the walk never goes deeper
  // than this rather than recursing without end.
  static constexpr int kMaxDepth = 64;

  const std::vector<FtpFileInfo>& Entries(const std::string& folder) {
    auto found = cache_.find(folder);
    if (found != cache_.end()) return found->second;
    std::vector<FtpFileInfo> entries;
    if (!connection_.Session().List(folder, entries).ok()) entries.clear();
    return cache_.emplace(folder, std::move(entries)).first->second;
  }

  CFtpJobConnection& connection_;
  bool serverIsUnix_;
  ListingCache cache_;
};

}  // namespace

RemoteFolderQuery RemoteFolderQuery::Of(const SourceItem& item, bool serverIsUnix) {
  const FilterLists filter = SplitFilter(item.filter);
  return {item.path, filter.include, filter.exclude, item.recursive, serverIsUnix};
}

std::vector<std::string> CollectRemotePaths(CFtpJobConnection& connection, const RemoteFolderQuery& query) {
  const std::string& folder = query.folder;
  const bool recursive = query.recursive;
  RemoteWalk walk(connection, query.serverIsUnix);
  std::vector<std::string> excluded;
  for (const std::string& mask : SplitMaskList(query.excludeList)) {
    // Without recursion exclusions apply to the item's own folder only.
    walk.List(folder, excluded, mask, recursive, recursive ? mask : std::string());
  }
  std::vector<std::string> included;
  for (const std::string& mask : SplitMaskList(query.includeList)) {
    // Without recursion the sub-folders the mask finds are taken whole.
    walk.List(folder, included, mask, recursive, recursive ? mask : std::string("*.*"));
  }
  const std::set<std::string> skip(excluded.begin(), excluded.end());
  std::vector<std::string> paths;
  for (std::string& path : included) {
    if (skip.count(path) == 0) paths.push_back(std::move(path));
  }
  return paths;
}

void CollectRemoteFolder(CFtpJobConnection& connection, const RemoteFolderQuery& query, const std::string& destFolder,
                         TransferList& list) {
  const std::string& folder = query.folder;
  for (std::string& path : CollectRemotePaths(connection, query)) {
    // The file's folder relative to `folder`, from its leading "/" (kept) to before its name.
    const std::size_t nameStart = path.rfind('/') + 1;
    std::string relative = folder.empty() || folder.back() != '/' ? std::string() : std::string("/");
    relative += path.substr(folder.size(), nameStart - folder.size());
    if (!relative.empty() && relative.back() == '/') relative.pop_back();
    list.push_back({std::move(path), destFolder + relative});
  }
}

void ListRemoteFolder(const std::string& folder, std::vector<std::string>& list, CFtpJobConnection& connection,
                      const std::string& mask, bool recursive, const std::string& subFolderMask, bool serverIsUnix) {
  RemoteWalk(connection, serverIsUnix).List(folder, list, mask, recursive, subFolderMask);
}

}  // namespace tarnwick
