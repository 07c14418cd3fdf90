#include "engine/CopyJob.h"

#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "engine/LocalFolderWalk.h"
#include "engine/PathFilter.h"
#include "engine/RemoteListing.h"

namespace tarnwick {

namespace {

// The file list of the local sources, in item order; destination sub-folders of folder items are
// made on the way.
TransferList BuildLocalList(const BackupJob& job, JobDestination& destination) {
  TransferList list;
  for (const SourceItem& item : job.localSources) {
    if (item.kind == ItemKind::LocalFile) {
      list.push_back({item.path, JoinPath(destination.Root(), LastPathComponent(item.path))});
    } else if (item.kind == ItemKind::LocalFolder) {
      // A folder item ending in "/" (a root) has an empty last component: its files go straight
      // into the destination folder.
      const std::string destSub = JoinPath(destination.Root(), LastPathComponent(item.path));
      destination.CreateFolderChain(destSub);
      CollectLocalFolder(destination, item, destSub, list);
    }
  }
  return list;
}

void BackUpRemoteFile(JobContext& context, CFtpJobConnection& from, const std::string& source,
                      const std::string& targetFolder, JobDestination& destination) {
  LogBackupFile(context, source);
  if (!destination.PutRemoteFile(context, from, source, targetFolder)) LogBackupFailed(context, source);
}

}  // namespace

void CollectLocalFolder(JobDestination& destination, const SourceItem& item, const std::string& destFolder,
                        TransferList& list) {
  FolderTargets targets;
  targets.join = JoinPath;
  targets.createFolder = [&destination](const std::string& path) { destination.CreateFolder(path); };
  targets.skipFolder = destination.FolderToSkip();
  EnumerateLocalFolder(item.path, SplitFilter(item.filter), item.recursive, destFolder, targets, list);
}

bool CopyRemoteSource(JobContext& context, const FtpSource& source, JobDestination& destination) {
  FtpSite site = source.site;
  FtpJobConnection connection = ConnectForJob(context, site, false);
  if (!connection) return false;

  for (const SourceItem& item : source.items) {
    if (context.StopRequested()) break;
    if (item.kind == ItemKind::FtpFile) {
      BackUpRemoteFile(context, *connection, item.path, destination.Root(), destination);
    } else if (item.kind == ItemKind::FtpFolder) {
      const std::string destSub = JoinPath(destination.Root(), LastPathComponent(item.path));
      destination.CreateFolderChain(destSub);
      TransferList list;
      CollectRemoteFolder(*connection, RemoteFolderQuery::Of(item, site.serverIsUnix), destSub, list);
      for (const TransferEntry& entry : list) {
        if (context.StopRequested()) return false;
        BackUpRemoteFile(context, *connection, entry.source, entry.target, destination);
      }
    }
  }
  return true;
}

int RunCopyJob(JobContext& context) {
  std::unique_ptr<JobDestination> destination = OpenDestination(context);
  if (!destination) return COPYJOB_NO_FTP_DESTINATION;
  destination->CreateFolderChain(destination->Root());

  const TransferList list = BuildLocalList(context.job, *destination);
  for (const TransferEntry& entry : list) {
    LogBackupFile(context, entry.source);
    if (!destination->PutLocalFile(context, entry.source, entry.target)) LogBackupFailed(context, entry.source);
    if (context.StopRequested()) {
      ClearStatus(context);
      context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
      destination->Close();
      return COPYJOB_STOPPED;
    }
  }
  ClearStatus(context);

  bool stopLogged = false;
  for (const FtpSource& source : context.job.remoteSources) {
    if (context.StopRequested()) break;
    CopyRemoteSource(context, source, *destination);
    if (context.StopRequested() && !stopLogged) {
      context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
      stopLogged = true;
    }
  }

  destination->Close();
  ClearStatus(context);
  // Every run ends with exactly one of the two rows, also when the stop came after the last check.
  if (!context.StopRequested()) {
    context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  } else if (!stopLogged) {
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
  }
  return COPYJOB_ENDED;
}

}  // namespace tarnwick
