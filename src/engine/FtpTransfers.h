// What the copy job does over FTP: the sessions of a job with their log rows, remote folders,
// uploads and the remote sources. Every call runs on the job's worker thread, polls the stop flag
// before each chunk and reports through the job's log and observer.
#pragma once

#include <memory>
#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

// One logged-in FTP session of a job (the session and connection pair). Defined by the FTP layer.
class CFtpJobConnection;

struct FtpJobConnectionCloser {
  void operator()(CFtpJobConnection* connection) const noexcept;
};
using FtpJobConnection = std::unique_ptr<CFtpJobConnection, FtpJobConnectionCloser>;

// Opens and logs in a session on `site` with the job's log rows (CONNECTING, CONNECTED or
// CONNECTFAILED, LOGGINGIN, LOGINOK or LOGINFAILED). For the destination (`isDestination`) a
// `remotePath` without a leading "/" is made absolute against the server's current folder and
// written back into `site`. Null on failure; the rows say why.
FtpJobConnection ConnectForJob(JobContext& context, FtpSite& site, bool isDestination);

// Closes the session (session, then connection); `connection` is null afterwards.
void CloseJobConnection(FtpJobConnection& connection);

// Creates every missing remote folder along `path` (a path of two characters or fewer does
// nothing and gives false). Creation results are not checked.
bool CreateRemoteFolderChain(JobContext& context, CFtpJobConnection& connection, const std::string& path);

// Creates the one remote folder `path` when a listing of it yields nothing (a destination
// sub-folder of a local folder source). The result is not checked.
void CreateRemoteFolder(JobContext& context, CFtpJobConnection& connection, const std::string& path);

// Uploads the local file `source` to the remote file `target` with one status text and progress
// position per chunk. The data goes to a temporary name renamed over `target` when complete, so an
// older remote copy survives a failed or stopped upload. False on any open, read or write error; a
// stop returns true.
bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection);

// Backs up one remote source on a session of its own: its files and folders go below
// `destinationBase` (job.localDestFolder for a local destination, the destination's absolute
// remotePath for an FTP one, then `destination` is that session). Logs its rows (connection
// events, "Backup file %s.", "Backup %s Failed."). False when its session could not be opened or
// when stopped inside a remote folder.
bool CopyRemoteSource(JobContext& context, const FtpSource& source, CFtpJobConnection* destination,
                      const std::string& destinationBase);

}  // namespace tarnwick
