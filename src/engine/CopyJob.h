// The copy job: every selected file is copied one by one to the destination folder, local or FTP.
#pragma once

#include <string>

#include "engine/BackupVerify.h"
#include "engine/JobContext.h"
#include "engine/JobDestination.h"

namespace tarnwick {

// Exit codes of RunCopyJob. Nobody acts on them; they say how the job ended.
enum CopyJobExit : int {
  COPYJOB_ENDED = 0,
  COPYJOB_STOPPED = 1,              // stopped while copying the local files
  COPYJOB_NO_FTP_DESTINATION = -1,  // the FTP destination could not be reached
};

// Runs one copy job on the calling (worker) thread and logs every step.
int RunCopyJob(JobContext& context);

// Backs up one remote source on a session of its own: its files and folders go below the
// destination's root. Logs its rows (connection events, "Backup file %s.", "Backup %s Failed.").
// False when its session could not be opened or when stopped inside a remote folder. With
// `fetched`, the session and the files it copied are kept there for the check after the run.
bool CopyRemoteSource(JobContext& context, const FtpSource& source, JobDestination& destination,
                      FetchedCopies* fetched = nullptr);

}  // namespace tarnwick
