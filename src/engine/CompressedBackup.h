// The zip job: every selected file, local or remote, becomes one entry of a single archive at the
// destination. The archive is written under a temporary name beside its target and renamed over it
// once it is closed, so an older good archive is never replaced by a broken one.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

// Exit codes of RunZipJob. Nobody acts on them; they say how the job ended.
enum ZipJobExit : int {
  ZIPJOB_ENDED = 0,
  ZIPJOB_STOPPED = 1,                // stopped while adding the local files
  ZIPJOB_NO_FTP_DESTINATION = -1,    // the FTP destination could not be reached
  ZIPJOB_CANNOT_CREATE = -2,         // the archive file could not be created
  ZIPJOB_CANNOT_CREATE_REMOTE = -3,  // the remote archive file could not be created
  ZIPJOB_WRITER_FAILED = -4,         // the writer failed mid-way (disk full, out of memory)
};

// Runs one zip job on the calling (worker) thread. Never throws.
int RunZipJob(JobContext& context);

}  // namespace tarnwick
