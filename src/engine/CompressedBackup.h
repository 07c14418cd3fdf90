// The zip job: every selected file, local or remote, becomes one entry of a single archive at the
// destination. The archive is written under a temporary name beside its target and renamed over it
// once it is closed, so an older good archive is never replaced by a broken one.
#pragma once

#include <string>

#include "engine/JobContext.h"
#include "engine/PathFilter.h"
#include "engine/TransferList.h"

namespace tarnwick {

// Exit codes of RunZipJob. Nobody acts on them; they say how the job ended.
enum ZipJobExit : int {
  ZIPJOB_ENDED = 0,
  ZIPJOB_STOPPED = 1,               // stopped while adding the local files
  ZIPJOB_NO_FTP_DESTINATION = -1,   // the FTP destination could not be reached
  ZIPJOB_CANNOT_CREATE = -2,        // the archive file could not be created
  ZIPJOB_CANNOT_CREATE_REMOTE = -3, // the remote archive file could not be created
  ZIPJOB_WRITER_FAILED = -4,        // the writer failed mid-way (disk full, out of memory)
};

// Runs one zip job on the calling (worker) thread. Never throws.
int RunZipJob(JobContext& context);

// The zip job's enumeration of a folder item: the same walk as the copy job's, without creating any
// folder; targets are names inside the archive below `archiveFolder` ("Docs/Sub/b.txt"). An empty
// archive folder (a root folder item) puts the files at the top of the archive, never under "/".
void CollectFolderForArchive(const std::string& folder, const FilterLists& filter, bool recursive,
                             TransferList& list, const std::string& archiveFolder);

// The archive list of the job's local sources, in item order: a file item by its name, a folder
// item under its last path component.
TransferList BuildArchiveList(const BackupJob& job);

}  // namespace tarnwick
