#include "engine/LocalSources.h"

#include <sys/stat.h>

#include <cstring>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "engine/LocalFolderWalk.h"
#include "engine/PathFilter.h"

namespace tarnwick {

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

std::string ArchiveJoin(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

// Where the files of a folder item go: a folder below the destination, or a folder in the archive.
// A folder item ending in "/" (a root) has an empty last component: its files go straight into the
// destination folder, or to the top of the archive (never under "/").
std::string ItemTarget(const JobDestination& destination, const SourceItem& item, LocalListKind kind) {
  const std::string name = LastPathComponent(item.path);
  return kind == LocalListKind::Copy ? JoinPath(destination.Root(), name) : name;
}

}  // namespace

bool SourcesAvoidDestination(JobContext& context, const JobDestination& destination, LocalListKind kind) {
  if (destination.FoldersToSkip().empty()) return true;  // not a local destination
  bool avoided = true;
  for (const SourceItem& item : context.job.localSources) {
    if (item.kind != ItemKind::LocalFolder) continue;
    const bool clash = SameFolder(item.path, destination.Root()) ||
                       (kind == LocalListKind::Copy && SameFolder(item.path, ItemTarget(destination, item, kind)));
    if (!clash) continue;
    LogFailure(context, LOG_ERROR, FormatString(IDS_DESTINATION_IS_SOURCE_ROW, item.path.c_str()));
    avoided = false;
  }
  return avoided;
}

bool ForEachLocalSource(JobContext& context, JobDestination& destination, LocalListKind kind,
                        const FileVisitor& onFile) {
  FolderTargets targets;
  if (kind == LocalListKind::Copy) {
    targets.join = JoinPath;
    targets.createFolder = [&destination](const std::string& path) { destination.CreateFolder(path); };
  } else {
    targets.join = ArchiveJoin;
  }
  targets.skipFolders = destination.FoldersToSkip();
  targets.onUnreadable = [&context](const std::string& folder, int error) {
    LogFailure(context, LOG_ERROR,
               FormatString(IDS_FOLDER_UNREADABLE_ROW, folder.c_str(), SystemErrorText(error).c_str()));
  };
  targets.stopRequested = [&context] { return context.StopRequested(); };

  for (const SourceItem& item : context.job.localSources) {
    if (context.StopRequested()) return false;
    std::string target = ItemTarget(destination, item, kind);
    if (item.kind == ItemKind::LocalFile) {
      if (!onFile({item.path, std::move(target)})) return false;
    } else if (item.kind == ItemKind::LocalFolder) {
      if (kind == LocalListKind::Copy) destination.CreateFolderChain(target);
      if (!WalkLocalFolder(item.path, SplitFilter(item.filter), item.recursive, target, targets, onFile)) return false;
    }
  }
  return true;
}

TransferList BuildLocalSourceList(JobContext& context, JobDestination& destination, LocalListKind kind) {
  TransferList list;
  ForEachLocalSource(context, destination, kind, [&list](TransferEntry&& entry) {
    list.push_back(std::move(entry));
    return true;
  });
  return list;
}

}  // namespace tarnwick
