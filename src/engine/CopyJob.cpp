#include "engine/CopyJob.h"

#include <sys/stat.h>

#include "app/StringTable.h"
#include "engine/EngineTexts.h"
#include "engine/FtpTransfers.h"
#include "engine/JobOpening.h"
#include "engine/LocalCopy.h"

namespace tarnwick {

namespace {

void ClearStatus(JobContext& context) {
  context.observer.OnClearStatus();
  context.observer.OnResetProgress();
}

// The file list of the local sources, in item order; destination sub-folders of folder items are
// made on the way.
TransferList BuildLocalList(JobContext& context, const std::string& destBase, CFtpJobConnection* connection) {
  const BackupJob& job = context.job;
  TransferList list;
  for (const SourceItem& item : job.localSources) {
    if (item.kind == ItemKind::LocalFile) {
      list.push_back({item.path, JoinLocalPath(destBase, LastPathComponent(item.path))});
    } else if (item.kind == ItemKind::LocalFolder) {
      const FilterLists filter = SplitFilter(item.filter);
      // A folder item ending in "/" (a root) has an empty last component: its files go straight
      // into the destination folder.
      const std::string destSub = JoinLocalPath(destBase, LastPathComponent(item.path));
      if (job.destIsLocal) {
        ::mkdir(destSub.c_str(), 0777);
      } else {
        CreateRemoteFolderChain(context, *connection, destSub);
      }
      CollectLocalFolder(context, item.path, filter, item.recursive, list, job.destIsLocal, destSub, connection);
    }
  }
  return list;
}

}  // namespace

int RunCopyJob(JobContext& context) {
  const BackupJob& job = context.job;
  FtpSite destination = job.ftpDest;
  FtpJobConnection connection;
  if (!OpenJob(context, destination, connection)) return COPYJOB_NO_FTP_DESTINATION;
  if (connection) CreateRemoteFolderChain(context, *connection, destination.remotePath);
  const std::string& destBase = job.destIsLocal ? job.localDestFolder : destination.remotePath;

  const TransferList list = BuildLocalList(context, destBase, connection.get());
  for (const TransferEntry& entry : list) {
    context.log.LogActionText(LOG_BACKUPFILE, FormatText(kBackupFileText, entry.source.c_str()));
    const bool copied = job.destIsLocal ? CopyLocalFile(context, entry.source, entry.target)
                                        : UploadFile(context, entry.source, entry.target, *connection);
    if (!copied) context.log.LogActionText(LOG_ERROR, FormatText(kBackupFailedText, entry.source.c_str()));
    if (context.StopRequested()) {
      ClearStatus(context);
      context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
      CloseJobConnection(connection);
      return COPYJOB_STOPPED;
    }
  }
  ClearStatus(context);

  bool stopLogged = false;
  for (const FtpSource& source : job.remoteSources) {
    if (context.StopRequested()) break;
    CopyRemoteSource(context, source, connection.get(), destBase);
    if (context.StopRequested() && !stopLogged) {
      context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
      stopLogged = true;
    }
  }

  CloseJobConnection(connection);
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
