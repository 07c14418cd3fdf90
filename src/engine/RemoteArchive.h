// The zip job's FTP side: remote sources added to the archive, and the archive of an FTP
// destination. Remote files are spooled through unlinked temporary files, so memory stays bounded
// whatever the size of the data, and a remote file larger than 4 GiB gets its size known up front.
#pragma once

#include <string>

#include "engine/CompressedBackup.h"  // declares ZipRemoteSource, defined with the rest here
#include "engine/FtpTransfers.h"

namespace tarnwick {

class CZipWriter;

// Downloads the remote file `remotePath` to a temporary file, showing "Adding %s to zip, %d KB"
// per chunk, then adds it to the archive as `name` at `level`. False when the remote file cannot be
// read whole or the entry cannot be added. A stop ends the download with true and adds nothing.
bool AddRemoteFileToArchive(JobContext& context, const std::string& remotePath, CFtpJobConnection& connection,
                            const std::string& name, int level, CZipWriter& writer);

// The files of the remote folder `folder` (the mask, recursion and exclusion rules of
// CollectRemoteFolder), appended with `target` = the file's path without `parentFolder` and the
// "/" after it (folder /pub/docs, parent /pub: /pub/docs/a/b.txt becomes docs/a/b.txt).
void ListRemoteFolderForArchive(const std::string& folder, const std::string& includeList,
                                const std::string& excludeList, CFtpJobConnection& connection, bool recursive,
                                bool serverIsUnix, const std::string& parentFolder, TransferList& list);

// The remote path of an FTP destination's archive, from `job.zipPath` without the host in front.
// A destination typed without a leading "/" lies below the login folder (as the copy job takes it),
// so the archive does too.
std::string RemoteArchivePathForJob(const BackupJob& job, CFtpJobConnection& connection);

// Makes the folders along the archive's remote path and checks that the archive can be created
// there, without touching an older archive of that name.
bool PrepareRemoteArchive(JobContext& context, CFtpJobConnection& connection, const std::string& remotePath);

// Sends the finished local archive `localPath` to `remotePath` in 64 KiB chunks, showing
// "Compressing %s | %d KB" after each; the archive replaces an older one only once it is complete.
// A stop ends the upload with true and leaves the older archive.
bool UploadArchive(JobContext& context, const std::string& localPath, const std::string& remotePath,
                   CFtpJobConnection& connection);

}  // namespace tarnwick
