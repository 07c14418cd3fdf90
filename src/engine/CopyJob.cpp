#include "engine/CopyJob.h"

#include <vector>

#include "app/StringTable.h"
#include "engine/BackupVerify.h"
#include "engine/JobReport.h"
#include "engine/LocalSources.h"
#include "engine/PathFilter.h"
#include "engine/RemoteListing.h"

namespace tarnwick {

namespace {

// Copies one remote file; the copy joins `copied` (when given) once it is made.
void BackUpRemoteFile(JobContext& context, CFtpJobConnection& from, const std::string& source,
                      const std::string& targetFolder, JobDestination& destination, TransferList* copied) {
  LogBackupFile(context, source);
  if (!destination.PutRemoteFile(context, from, source, targetFolder)) {
    LogBackupFailed(context, source);
  } else if (copied && !context.StopRequested()) {
    copied->push_back({source, JoinPath(targetFolder, LastPathComponent(source))});
  }
}

}  // namespace

bool CopyRemoteSource(JobContext& context, const FtpSource& source, JobDestination& destination,
                      FetchedCopies* fetched) {
  FtpSite site = source.site;
  FtpJobConnection connection = ConnectForJob(context, site, false);
  if (!connection) return false;
  TransferList* copied = fetched ? &fetched->copies : nullptr;

  for (const SourceItem& item : source.items) {
    if (context.StopRequested()) break;
    if (item.kind == ItemKind::FtpFile) {
      BackUpRemoteFile(context, *connection, item.path, destination.Root(), destination, copied);
    } else if (item.kind == ItemKind::FtpFolder) {
      const std::string destSub = JoinPath(destination.Root(), LastPathComponent(item.path));
      destination.CreateFolderChain(destSub);
      TransferList list;
      CollectRemoteFolder(context, *connection, RemoteFolderQuery::Of(item, site.serverIsUnix), destSub, list);
      for (const TransferEntry& entry : list) {
        if (context.StopRequested()) return false;
        BackUpRemoteFile(context, *connection, entry.source, entry.target, destination, copied);
      }
    }
  }
  if (fetched) fetched->from = std::move(connection);
  return true;
}

int RunCopyJob(JobContext& context) {
  std::unique_ptr<JobDestination> destination = OpenDestination(context);
  if (!destination) return COPYJOB_NO_FTP_DESTINATION;
  destination->CreateFolderChain(destination->Root());
  if (!SourcesAvoidDestination(context, *destination, LocalListKind::Copy)) {
    destination->Close();
    context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
    return COPYJOB_ENDED;
  }

  // Each file is copied as the walk finds it, so memory does not grow with the number of files.
  TransferList written;  // what the check after the run compares byte by byte; kept only for it
  const bool walked = ForEachLocalSource(context, *destination, LocalListKind::Copy, [&](TransferEntry&& entry) {
    LogBackupFile(context, entry.source);
    if (!destination->PutLocalFile(context, entry.source, entry.target)) {
      LogBackupFailed(context, entry.source);
    } else if (context.job.verify) {
      written.push_back(std::move(entry));
    }
    return !context.StopRequested();
  });
  if (!walked) {
    ClearStatus(context);
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
    destination->Close();
    return COPYJOB_STOPPED;
  }
  ClearStatus(context);

  bool stopLogged = false;
  std::vector<FetchedCopies> fetched;  // kept only for the check
  for (const FtpSource& source : context.job.remoteSources) {
    if (context.StopRequested()) break;
    CopyRemoteSource(context, source, *destination, context.job.verify ? &fetched.emplace_back() : nullptr);
    if (context.StopRequested() && !stopLogged) {
      context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
      stopLogged = true;
    }
  }

  if (context.job.verify && !context.StopRequested()) VerifyCopies(context, *destination, written, fetched);
  for (FetchedCopies& source : fetched) CloseJobConnection(source.from);
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
