// The files of a remote folder item, found by listing the server with the item's masks.
#pragma once

#include <string>
#include <vector>

#include "engine/FtpJobConnection.h"
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

// The files of the query's folder that the include masks take and the exclude masks do not, in
// listing order (see ListRemoteFolder for the mask and recursion rules).
std::vector<std::string> CollectRemotePaths(CFtpJobConnection& connection, const RemoteFolderQuery& query);

// Appends one entry per file of the query's folder (CollectRemotePaths) to `list`: `source` is the
// file's remote path, `target` the folder it goes to, `destFolder` followed by the file's relative
// folder.
void CollectRemoteFolder(CFtpJobConnection& connection, const RemoteFolderQuery& query, const std::string& destFolder,
                         TransferList& list);

// Appends the full remote path of every file of `folder` whose name matches `mask`. Sub-folders
// are found by the same mask; with `recursive` they are searched with `mask` again, otherwise with
// `subFolderMask` (not recursively) when it is not empty, otherwise not at all. On a UNIX server a
// listing line the FTP layer could not read is taken by the text after its last blank.
void ListRemoteFolder(const std::string& folder, std::vector<std::string>& list, CFtpJobConnection& connection,
                      const std::string& mask, bool recursive, const std::string& subFolderMask, bool serverIsUnix);

}  // namespace tarnwick
