#include "engine/JobOpening.h"

#include "app/StringTable.h"
#include "engine/LocalCopy.h"

namespace tarnwick {

bool OpenJob(JobContext& context, FtpSite& destination, FtpJobConnection& connection) {
  const BackupJob& job = context.job;
  if (job.destIsLocal) CreateLocalFolderChain(job.localDestFolder);
  context.log.LogAction(LOG_BACKUPSTART, IDS_BACKUP_START);
  if (job.destIsLocal) return true;
  connection = ConnectForJob(context, destination, true);
  if (connection) return true;
  context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  return false;
}

}  // namespace tarnwick
