// The enumeration of a local folder item into a job's file list, shared by the copy job and the
// zip job: they differ only in how targets are named and whether destination folders are made.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/PathFilter.h"
#include "engine/TransferList.h"

namespace tarnwick {

struct FolderTargets {
  // The target of a sub-folder or file `name` inside the destination folder `folder`.
  std::function<std::string(const std::string& folder, const std::string& name)> join;
  // Called for each destination sub-folder before it is filled; empty: no folders are made.
  std::function<void(const std::string& folder)> createFolder;
  // Local folders that are never walked: the destination, when it lies inside the source, would
  // otherwise be copied into itself ever deeper (and an archive would pack itself).
  std::vector<std::string> skipFolders;
  // Told of a folder that cannot be read (it is missing, or the system refuses it), with errno;
  // its files are then not listed.
  std::function<void(const std::string& folder, int error)> onUnreadable;
  // Asked before each folder is read; true ends the walk (a Stop between files that are all left
  // out must not wait for the rest of a huge tree). Empty: never.
  std::function<bool()> stopRequested;
};

// Handed each file as the walk finds it; false ends the walk at once.
using FileVisitor = std::function<bool(TransferEntry&& entry)>;

// Hands the files of `folder` to `onFile` while it walks, so no list of the whole tree is ever
// held: only the entries of the folders on the way down. Every sub-folder first, depth first (its
// own sub-folders before its files), then the files of the folder itself, mask by mask.
// Sub-folders are always walked and reproduced; without `recursive` the masks apply to `folder`
// only and everything below it is taken. A file that two include masks match is handed out twice.
// Entries come in name order. False when `onFile` or `targets.stopRequested` ended the walk.
bool WalkLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                     const std::string& destFolder, const FolderTargets& targets, const FileVisitor& onFile);

// The same walk, appending every file to `list`, for callers that want the whole list at once.
void EnumerateLocalFolder(const std::string& folder, const FilterLists& filter, bool recursive,
                          const std::string& destFolder, const FolderTargets& targets, TransferList& list);

}  // namespace tarnwick
