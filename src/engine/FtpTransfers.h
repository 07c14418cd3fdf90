// What a backup job does over FTP: the sessions of a job with their log rows, remote folders,
// uploads, downloads, server-to-server copies, the remote sources and remote folder listings. Every
// call runs on the job's worker thread, polls the stop flag before each chunk and reports through
// the job's log and observer.
//
// No transfer ever leaves a part in place of its target: data goes to a temporary name beside the
// target (remote or local) and is renamed over it only once complete, so an older copy survives a
// failed or stopped transfer.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/JobContext.h"
#include "engine/TransferList.h"
#include "formats/FileIo.h"
#include "ftp/FtpSession.h"

namespace tarnwick {

// One logged-in FTP session of a job (the session and connection pair).
class CFtpJobConnection {
 public:
  explicit CFtpJobConnection(FtpTimeouts timeouts = {}) : session_(timeouts) {}

  CFtpSession& Session() { return session_; }

  // Remote folders this job has already made or seen, so a folder chain is listed once per job and
  // not once per file.
  bool FolderKnown(const std::string& path) const { return knownFolders_.count(path) != 0; }
  void RememberFolder(const std::string& path) { knownFolders_.insert(path); }

 private:
  CFtpSession session_;
  std::set<std::string> knownFolders_;
};

struct FtpJobConnectionCloser {
  void operator()(CFtpJobConnection* connection) const noexcept;
};
using FtpJobConnection = std::unique_ptr<CFtpJobConnection, FtpJobConnectionCloser>;

// Opens and logs in a session on `site` with the job's log rows (CONNECTING, CONNECTED or
// CONNECTFAILED, LOGGINGIN, LOGINOK or LOGINFAILED); passive mode when `site.passive` is "1". For
// the destination (`isDestination`) a `remotePath` without a leading "/" is made absolute against
// the server's current folder and written back into `site`. Null on failure; the rows say why.
// The job's stop flag interrupts the session's transfers, so `context` must outlive it.
FtpJobConnection ConnectForJob(JobContext& context, FtpSite& site, bool isDestination);

// Closes the session; `connection` is null afterwards.
void CloseJobConnection(FtpJobConnection& connection);

// `path` taken relative to the server folder `currentFolder` (the relative-destination rule): the
// folder, a "/" unless it is empty or ends with one, then `path`. An empty `path` gives the folder.
std::string ResolveRemotePath(const std::string& currentFolder, const std::string& path);

// Creates every missing remote folder along `path` (a path of two characters or fewer does
// nothing and gives false). Creation results are not checked.
bool CreateRemoteFolderChain(JobContext& context, CFtpJobConnection& connection, const std::string& path);

// Creates the one remote folder `path` when a listing of it yields nothing (a destination
// sub-folder of a local folder source). The result is not checked.
void CreateRemoteFolder(JobContext& context, CFtpJobConnection& connection, const std::string& path);

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

// Backs up one remote source on a session of its own: its files and folders go below
// `destinationBase` (job.localDestFolder for a local destination, the destination's absolute
// remotePath for an FTP one, then `destination` is that session). Logs its rows (connection
// events, "Backup file %s.", "Backup %s Failed."). False when its session could not be opened or
// when stopped inside a remote folder.
bool CopyRemoteSource(JobContext& context, const FtpSource& source, CFtpJobConnection* destination,
                      const std::string& destinationBase);

// The files of the remote folder `folder` that the include masks take and the exclude masks do not,
// in listing order (see ListRemoteFolder for the mask and recursion rules).
std::vector<std::string> CollectRemotePaths(CFtpJobConnection& connection, const std::string& folder,
                                            const std::string& includeList, const std::string& excludeList,
                                            bool recursive, bool serverIsUnix);

// Appends one entry per file of `folder` (CollectRemotePaths) to `list`: `source` is the file's
// remote path, `target` the folder it goes to, `destFolder` followed by the file's relative folder.
void CollectRemoteFolder(const std::string& folder, const std::string& includeList, const std::string& excludeList,
                         bool recursive, TransferList& list, bool destIsLocal, const std::string& destFolder,
                         CFtpJobConnection& connection, bool serverIsUnix);

// Appends the full remote path of every file of `folder` whose name matches `mask`. Sub-folders
// are found by the same mask; with `recursive` they are searched with `mask` again, otherwise with
// `subFolderMask` (not recursively) when it is not empty, otherwise not at all. On a UNIX server a
// listing line the FTP layer could not read is taken by the text after its last blank.
void ListRemoteFolder(const std::string& folder, std::vector<std::string>& list, CFtpJobConnection& connection,
                      const std::string& mask, bool recursive, const std::string& subFolderMask, bool serverIsUnix);

// `folder` and `name` joined by one "/".
std::string JoinRemotePath(const std::string& folder, const std::string& name);

}  // namespace tarnwick
