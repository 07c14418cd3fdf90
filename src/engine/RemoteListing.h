// The files of a remote folder item, found by listing the server with the item's masks. Names from
// the server are never trusted: "." and ".." are skipped, a name that could lead out of the
// destination is a failed file, and a walk is bounded in folders, entries and depth and ends at once
// on Stop.
#pragma once

#include <string>
#include <vector>

#include "engine/FtpJobConnection.h"
#include "engine/JobContext.h"
#include "engine/TransferList.h"
#include "profiles/Profile.h"

namespace tarnwick {

// What a remote folder item is listed with: the folder, its two mask lists, recursion and the
// server kind (UNIX servers get the last-word rule for listing lines that could not be read).
struct RemoteFolderQuery {
  std::string folder;
  std::string includeList;
  std::string excludeList;
  bool recursive = false;
  bool serverIsUnix = false;

  // The query of a remote folder item of a source on a server of the given kind.
  static RemoteFolderQuery Of(const SourceItem& item, bool serverIsUnix);
};

// The bounds of one walk: a server that lists without end, or shows a folder inside itself, must
// not keep a job busy for ever nor fill the memory.
struct RemoteWalkLimits {
  std::size_t folders = 20000;    // listings made
  std::size_t entries = 2000000;  // entries kept over all listings
  int depth = 64;                 // folders below the item's folder
};

// The files of the query's folder that the include masks take and the exclude masks do not, in
// listing order. Each include mask lists the folder and, with recursion, every sub-folder the mask
// finds (searched with the same mask); without recursion the sub-folders the mask finds are taken
// whole ("*.*"). Exclude masks work likewise, but without recursion on the item's own folder only.
// Logged on the way: a failed-file row for each name that cannot be used (IsUsableRemoteName), an ERROR row for each
// folder the server would not list, with its reason, and an ERROR row when a bound cut the walk. A folder whose listing
// repeats one of the folders above it (a link back up) is not entered. Stop ends the walk at once (what was found is
// returned).
std::vector<std::string> CollectRemotePaths(JobContext& context, CFtpJobConnection& connection,
                                            const RemoteFolderQuery& query, const RemoteWalkLimits& limits = {});

// Appends one entry per file of the query's folder (CollectRemotePaths) to `list`: `source` is the
// file's remote path, `target` the folder it goes to, `destFolder` followed by the file's relative
// folder.
void CollectRemoteFolder(JobContext& context, CFtpJobConnection& connection, const RemoteFolderQuery& query,
                         const std::string& destFolder, TransferList& list);

// Whether a name from a server's listing may be used as a file or folder name: not empty, not
// longer than kMaxNameBytes, and without "/", NUL or a control byte. "." and ".." are not names
// either (listings skip them).
bool IsUsableRemoteName(const std::string& name);

}  // namespace tarnwick
