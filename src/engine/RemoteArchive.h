// Remote sources of the zip job. Remote files are spooled through unlinked temporary files, so
// memory stays bounded whatever the size of the data, and a remote file larger than 4 GiB gets its
// size known up front.
#pragma once

#include <string>

#include "engine/FtpJobConnection.h"
#include "engine/JobContext.h"
#include "engine/TransferList.h"

namespace tarnwick {

class CZipWriter;
struct RemoteFolderQuery;

// Downloads the remote file `remotePath` to a temporary file, showing "Adding %s to zip, %d KB"
// per chunk, then adds it to the archive as `name` at the job's level. False when the remote file
// cannot be read whole or the entry cannot be added. A stop ends the download with true and adds
// nothing.
bool AddRemoteFileToArchive(JobContext& context, CFtpJobConnection& connection, const std::string& remotePath,
                            const std::string& name, CZipWriter& writer);

// The files of the query's folder (the mask, recursion and exclusion rules of CollectRemoteFolder),
// appended with `target` = the file's path without `parentFolder` and the "/" after it (folder
// /pub/docs, parent /pub: /pub/docs/a/b.txt becomes docs/a/b.txt).
void ListRemoteFolderForArchive(JobContext& context, CFtpJobConnection& connection, const RemoteFolderQuery& query,
                                const std::string& parentFolder, TransferList& list);

// Adds the files of one remote source to the archive on a session of its own; its connection rows
// and "Backup %s Failed." rows go to the log. False when its session could not be opened.
bool ZipRemoteSource(JobContext& context, const FtpSource& source, CZipWriter& writer);

}  // namespace tarnwick
