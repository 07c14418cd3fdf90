// Local sources of a job: the folder filter, the enumeration of a folder into the file list, the
// destination folder chain and the copy of one local file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/JobContext.h"
#include "engine/TransferList.h"

namespace tarnwick {

class CFtpJobConnection;

// The two mask lists of a folder filter "+[include]-[exclude]", as texts ("*.doc;*.xls").
struct FilterLists {
  std::string include;
  std::string exclude;
};

// Include list: from the first "+[" up to the next "]"; exclude list likewise from the first "-[".
// A missing part, or one without its "]", gives an empty list.
FilterLists SplitFilter(const std::string& filter);

// The masks of one list, separated by ";", used exactly as written. Empty pieces stay (they match
// nothing). A one-character list such as "*" is one mask.
std::vector<std::string> SplitMaskList(const std::string& list);

// How an enumeration names its targets and prepares destination folders; the copy job and the zip
// job differ only here.
struct FolderTargets {
  // The target of a sub-folder or file `name` inside the destination folder `folder`.
  std::function<std::string(const std::string& folder, const std::string& name)> join;
  // Called for each destination sub-folder before it is filled; empty: no folders are made.
  std::function<void(const std::string& folder)> createFolder;
  // A local folder that is never walked: the destination, when it lies inside the source, would
  // otherwise be copied into itself ever deeper.
  std::string skipFolder;
};

// Appends the files of `folder` to `list`: every sub-folder first, depth first (its own sub-folders
// before its files), then the files of the folder itself, mask by mask. Sub-folders are always
// walked and reproduced; without `recursive` the masks apply to `folder` only and everything below
// it is taken. A file that two include masks match is listed twice. Entries come in name order.
void EnumerateLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                          const std::string& destFolder, const FolderTargets& targets, TransferList& list);

// The copy job's enumeration: targets are full paths below `destFolder` ("/"-joined, local or
// remote alike); destination sub-folders are created locally, or on `connection` for an FTP
// destination (then `connection` must not be null).
void CollectLocalFolder(JobContext& context, const std::string& folder, const FilterLists& filter, bool recursive,
                        TransferList& list, bool destIsLocal, const std::string& destFolder,
                        CFtpJobConnection* connection);

// Creates every missing folder along `path`. False only for an empty path; creation results are
// not checked (a folder that cannot be made shows up as the failed files that go into it).
bool CreateLocalFolderChain(const std::string& path);

// `folder` and `name` joined by one "/" (none added when `folder` already ends with one).
std::string JoinLocalPath(const std::string& folder, const std::string& name);

// The text after the last "/" of `path` (the whole path when it has none).
std::string LastPathComponent(const std::string& path);

// Copies `source` to `target` in chunks of at most 2 MiB, with one status text and one progress
// position per chunk, polling the stop flag before each chunk. The copy is written under a
// temporary name beside `target` and renamed over it only when complete, so an older copy is never
// replaced by a part; a copy stopped before its end leaves no file behind and returns true (a stop
// is not a failure). Any open, read or write error returns false. The copy keeps the source's
// modification time and permission bits (less the umask).
bool CopyLocalFile(JobContext& context, const std::string& source, const std::string& target);

}  // namespace tarnwick
