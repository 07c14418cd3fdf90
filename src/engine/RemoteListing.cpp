#include "engine/RemoteListing.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "app/ControlCharacters.h"
#include "app/StringTable.h"
#include "app/Wildcard.h"
#include "engine/JobReport.h"
#include "engine/PathFilter.h"

namespace tarnwick {

namespace {

// One folder as the server listed it, reduced to the usable entries.
struct Listing {
  std::vector<FtpFileInfo> entries;
  std::size_t signature = 0;  // tells a listing that repeats an ancestor's
};

std::size_t SignatureOf(const std::vector<FtpFileInfo>& entries) {
  std::size_t signature = entries.size();
  for (const FtpFileInfo& e : entries) {
    const std::size_t h = std::hash<std::string>{}(e.name) ^ (e.isDirectory ? 0x9e3779b97f4a7c15ull : 0) ^
                          (e.size * 31) ^ static_cast<std::size_t>(e.modified);
    signature = signature * 1099511628211ull + h;
  }
  return signature;
}

// One walk over a remote folder item: the session, the server kind, the bounds and the listings
// made so far, so a folder is listed once however many masks ask for it.
class RemoteWalk {
 public:
  RemoteWalk(JobContext& context, CFtpJobConnection& connection, bool serverIsUnix, const RemoteWalkLimits& limits)
      : context_(context), connection_(connection), serverIsUnix_(serverIsUnix), limits_(limits) {}

  void List(const std::string& folder, std::vector<std::string>& list, const std::string& mask, bool recursive,
            const std::string& subFolderMask) {
    std::vector<std::size_t> ancestors;
    Walk(folder, list, mask, recursive, subFolderMask, ancestors);
  }

  // The ERROR row of a walk cut by a bound, once.
  void ReportCut(const std::string& folder) {
    if (cut_.empty()) return;
    LogFailure(context_, LOG_ERROR, FormatString(IDS_WALK_CUT_ROW, folder.c_str(), cut_.c_str()));
  }

 private:
  void Walk(const std::string& folder, std::vector<std::string>& list, const std::string& mask, bool recursive,
            const std::string& subFolderMask, std::vector<std::size_t>& ancestors) {
    if (context_.StopRequested() || !cut_.empty()) return;
    if (static_cast<int>(ancestors.size()) > limits_.depth) {
      cut_ = std::to_string(limits_.depth) + " folder levels";
      return;
    }
    const Listing* listing = Entries(folder);
    if (listing == nullptr) return;
    // A folder that lists exactly as one above it is that folder again, shown through a link: going
    // in would repeat the walk below it without end.
    if (std::find(ancestors.begin(), ancestors.end(), listing->signature) != ancestors.end()) return;
    std::vector<std::string> subFolders;
    for (const FtpFileInfo& entry : listing->entries) {
      if (!MatchesWildcard(mask, entry.name)) continue;
      if (entry.isDirectory) {
        subFolders.push_back(entry.name);
      } else {
        list.push_back(JoinPath(folder, entry.name));
      }
    }
    ancestors.push_back(listing->signature);
    for (const std::string& name : subFolders) {
      const std::string sub = JoinPath(folder, name);
      if (recursive) {
        Walk(sub, list, mask, true, subFolderMask, ancestors);
      } else if (!subFolderMask.empty()) {
        Walk(sub, list, subFolderMask, false, subFolderMask, ancestors);
      }
    }
    ancestors.pop_back();
  }

  // The usable entries of `folder`, listed once per walk; null when it cannot be listed (an ERROR
  // row says why) or a bound was reached.
  const Listing* Entries(const std::string& folder) {
    auto found = cache_.find(folder);
    if (found != cache_.end()) return found->second ? &*found->second : nullptr;
    if (cache_.size() >= limits_.folders) {
      cut_ = std::to_string(limits_.folders) + " folders";
      return nullptr;
    }
    std::vector<FtpFileInfo> listed;
    if (const Status status = connection_.Session().List(folder, listed); !status.ok()) {
      if (!context_.StopRequested()) {
        LogFailure(context_, LOG_ERROR,
                   FormatString(IDS_FOLDER_UNLISTED_ROW, folder.c_str(), status.message().c_str()));
      }
      cache_.emplace(folder, std::nullopt);
      return nullptr;
    }
    if (connection_.Session().LastListingWasCut()) cut_ = "a listing without end in " + folder;
    Listing listing;
    for (FtpFileInfo& entry : listed) {
      // Only a line the FTP layer could not read needs the UNIX rule; parsed names keep their blanks.
      if (entry.unparsed && serverIsUnix_) entry.name = std::string(UnixNameOfUnparsedLine(entry.name));
      if (entry.name == "." || entry.name == "..") continue;
      if (!IsUsableRemoteName(entry.name)) {
        LogBackupFailed(context_, JoinPath(folder, EscapeControlCharacters(entry.name)));
        continue;
      }
      if (entries_ >= limits_.entries) {
        cut_ = std::to_string(limits_.entries) + " entries";
        break;
      }
      ++entries_;
      listing.entries.push_back(std::move(entry));
    }
    listing.signature = SignatureOf(listing.entries);
    return &*cache_.emplace(folder, std::move(listing)).first->second;
  }

  JobContext& context_;
  CFtpJobConnection& connection_;
  bool serverIsUnix_;
  RemoteWalkLimits limits_;
  std::map<std::string, std::optional<Listing>> cache_;
  std::size_t entries_ = 0;
  std::string cut_;  // what cut the walk short, for its row
};

}  // namespace

bool IsUsableRemoteName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         !HasControlCharacter(name) && !HasOverlongName(name);
}

RemoteFolderQuery RemoteFolderQuery::Of(const SourceItem& item, bool serverIsUnix) {
  const FilterLists filter = SplitFilter(item.filter);
  return {item.path, filter.include, filter.exclude, item.recursive, serverIsUnix};
}

std::vector<std::string> CollectRemotePaths(JobContext& context, CFtpJobConnection& connection,
                                            const RemoteFolderQuery& query, const RemoteWalkLimits& limits) {
  const std::string& folder = query.folder;
  const bool recursive = query.recursive;
  RemoteWalk walk(context, connection, query.serverIsUnix, limits);
  std::vector<std::string> excluded;
  for (const std::string& mask : SplitMaskList(query.excludeList)) {
    walk.List(folder, excluded, mask, recursive, recursive ? mask : std::string());
  }
  std::vector<std::string> included;
  for (const std::string& mask : SplitMaskList(query.includeList)) {
    walk.List(folder, included, mask, recursive, recursive ? mask : std::string("*.*"));
  }
  walk.ReportCut(folder);
  const std::set<std::string> skip(excluded.begin(), excluded.end());
  std::vector<std::string> paths;
  for (std::string& path : included) {
    if (skip.count(path) == 0) paths.push_back(std::move(path));
  }
  return paths;
}

void CollectRemoteFolder(JobContext& context, CFtpJobConnection& connection, const RemoteFolderQuery& query,
                         const std::string& destFolder, TransferList& list) {
  const std::string& folder = query.folder;
  for (std::string& path : CollectRemotePaths(context, connection, query)) {
    // The file's folder relative to `folder`, from its leading "/" (kept) to before its name.
    const std::size_t nameStart = path.rfind('/') + 1;
    std::string relative = folder.empty() || folder.back() != '/' ? std::string() : std::string("/");
    relative += path.substr(folder.size(), nameStart - folder.size());
    if (!relative.empty() && relative.back() == '/') relative.pop_back();
    list.push_back({std::move(path), destFolder + relative});
  }
}

}  // namespace tarnwick
