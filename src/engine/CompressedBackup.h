// The zip job: every selected file, local or remote, becomes one entry of a single archive at the
// destination. The archive is written under a temporary name beside its target and renamed over it
// once it is closed, so an older good archive is never replaced by a broken one.
#pragma once

#include <string>

#include "engine/JobContext.h"
#include "engine/LocalCopy.h"
#include "engine/TransferList.h"

namespace tarnwick {

class CZipWriter;

// Exit codes of RunZipJob. Nobody acts on them; they say how the job ended.
enum ZipJobExit : int {
  ZIPJOB_ENDED = 0,
  ZIPJOB_STOPPED = 1,               // stopped while adding the local files
  ZIPJOB_NO_FTP_DESTINATION = -1,   // the FTP destination could not be reached
  ZIPJOB_CANNOT_CREATE = -2,        // the archive file could not be created
  ZIPJOB_CANNOT_CREATE_REMOTE = -3, // the remote archive file could not be created
  ZIPJOB_WRITER_FAILED = -4,        // the writer failed mid-way (disk full, out of memory)
};

// Status and log texts of the zip job that have no string-table number (printf formats).
inline constexpr const char* kAddingToZipText = "Adding %s to zip, %d KB";          // status, path and KB
inline constexpr const char* kCompressingToText = "Compressing %s | %d KB";         // status of the upload
inline constexpr const char* kCompressingAllText = "Compressing all files to %s.";  // COMPRESSFILE row
inline constexpr const char* kCannotCreateArchiveText = "Cannot create destination compression file.";
inline constexpr const char* kArchiveFailedText = "Cannot write destination compression file %s: %s.";

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

// The remote path of an FTP destination's archive: `zipPath` without the host name in front of it.
std::string RemoteArchivePath(const std::string& zipPath, const std::string& host);

// Adds the files of one remote source to the archive on a session of its own; its connection rows
// and "Backup %s Failed." rows go to the log. False when its session could not be opened. Defined
// with the rest of the zip job's FTP side (engine/RemoteArchive.cpp).
bool ZipRemoteSource(JobContext& context, const FtpSource& source, CZipWriter& writer);

}  // namespace tarnwick
