// One file's trip over FTP: uploads, downloads and server-to-server copies. Every call runs on the
// job's worker thread, polls the stop flag before each chunk and reports through the job's
// observer.
//
// No transfer ever leaves a part in place of its target: data goes to a temporary name beside the
// target (remote or local) and is renamed over it only once complete, so an older copy survives a
// failed or stopped transfer.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "engine/FtpJobConnection.h"
#include "engine/JobContext.h"

namespace tarnwick {

// Uploads the local file `source` to the remote file `target` with one status text and progress
// position per chunk. False on any open, read, write or rename error; a stop returns true and
// leaves `target` as it was.
bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection);

// Told after each uploaded chunk: its size, the bytes sent so far and the size of the whole file.
using UploadReport = std::function<void(long long chunk, long long done, long long size)>;

// UploadFile with the status of each chunk left to `report`.
bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection, const UploadReport& report);

// Reads the open remote `file` to its end chunk by chunk, handing each chunk to `sink` (false
// there is a write error) and then its size to `onChunk`. The stop flag is polled before each
// chunk; a stopped read leaves `file` open for the caller to abandon.
enum class ReceiveResult { Complete, Stopped, Failed };
ReceiveResult ReceiveRemoteFile(JobContext& context, CFtpFile& file,
                                const std::function<bool(const char* data, std::size_t size)>& sink,
                                const std::function<void(long long chunk)>& onChunk);

// Whether a file can be created as `target`: a temporary file beside it is created and deleted
// again, so nothing is left behind and an older `target` is not touched.
bool CanCreateRemoteFile(CFtpJobConnection& connection, const std::string& target);

// Downloads the remote file `source` into the local folder `targetFolder` (created when missing),
// keeping its name. False when the remote file cannot be read or the local one written; the older
// local copy then stays. A stop returns true.
bool DownloadFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                  CFtpJobConnection& connection);

// Copies the remote file `source` from `from` into the remote folder `targetFolder` on `to`,
// keeping its name. Same outcomes as DownloadFile.
bool CopyRemoteFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                    CFtpJobConnection& from, CFtpJobConnection& to);

}  // namespace tarnwick
