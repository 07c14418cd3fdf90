// Where a job puts what it backs up: a local folder or a folder on an FTP server. The copy and zip
// jobs talk to one interface and never ask which kind they have.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/CopyCheck.h"
#include "engine/FtpJobConnection.h"
#include "engine/JobContext.h"

namespace tarnwick {

class CPartFile;

class JobDestination {
 public:
  virtual ~JobDestination() = default;

  // The folder every target lies below: the local folder, or the FTP folder as an absolute path.
  const std::string& Root() const { return root_; }

  // Local folders that a walk of a local source must never enter: the destination itself and, with
  // a date folder, the folder that holds the earlier days' backups (they would otherwise be backed
  // up into themselves ever deeper, or an archive pack itself).
  virtual std::vector<std::string> FoldersToSkip() const = 0;

  // Makes every missing folder along `path`. Results are not checked: a folder that cannot be made
  // shows up as the failed files that go into it. Paths outside Root() are never made.
  virtual void CreateFolderChain(const std::string& path) = 0;
  // Makes the one folder `path` (a sub-folder met while walking a source).
  virtual void CreateFolder(const std::string& path) = 0;

  // Puts the local file `source` at the full path `target`. False on a failed file (also for a
  // target outside Root()); a stop is not a failure.
  virtual bool PutLocalFile(JobContext& context, const std::string& source, const std::string& target) = 0;
  // Puts the remote file `source`, read on `from`, into the folder `targetFolder` (made when
  // missing) under its own name. Same outcomes as PutLocalFile.
  virtual bool PutRemoteFile(JobContext& context, CFtpJobConnection& from, const std::string& source,
                             const std::string& targetFolder) = 0;

  // The archive's path as the log names it and as it is stored at this destination.
  virtual std::string ArchivePath(const BackupJob& job) = 0;
  // The local path the archive is written beside while it is made.
  virtual std::string ArchiveWorkPath(const BackupJob& job) const = 0;
  // Makes what the archive needs at `archivePath` and checks that it can be created there, without
  // touching an older archive of that name.
  virtual bool PrepareArchive(const std::string& archivePath) = 0;
  // Puts the closed local `archive` in place as `archivePath` and logs a row when that fails. A
  // stopped job's archive is kept locally but not sent to a server.
  virtual void StoreArchive(JobContext& context, CPartFile& archive, const std::string& archivePath, bool stopped) = 0;

  // Compares the copy at `target` with the local file `source` (see CopyCheck.h): a local copy by
  // size, time and its bytes; a copy on a server by the size it reports and then, as the job asks,
  // its bytes read back or the digest its HASH gives, when offered.
  virtual CopyVerdict CheckCopy(JobContext& context, const std::string& source, const std::string& target) = 0;
  // The same for the copy at `target` of the remote file `source`, read on `from` in this run: a
  // local copy by the server's size and its bytes read back again or the digest its HASH gives; a
  // copy on a server by both servers' sizes and, read back, both files' bytes.
  virtual CopyVerdict CheckFetchedCopy(JobContext& context, CFtpJobConnection& from, const std::string& source,
                                       const std::string& target) = 0;
  // Compares the archive stored at `archivePath` with the local file `localArchive` it was sent
  // from, as CheckCopy compares. Null when the archive is stored here: reading it back already
  // covered it.
  virtual std::optional<CopyVerdict> CheckStoredArchive(JobContext&, const std::string&, const std::string&) {
    return std::nullopt;
  }
  // A local file holding the archive stored at `archivePath`, to read it back without a backup:
  // the archive itself, or a copy downloaded into the folder `scratch`. Empty when it cannot be had.
  virtual std::string FetchArchive(JobContext& context, const std::string& archivePath, const std::string& scratch) = 0;

  // Ends what the destination holds open (an FTP session).
  virtual void Close() {}

 protected:
  JobDestination(std::string root, bool checking) : root_(std::move(root)), checking_(checking) {}
  // Opened to check a backup: nothing is made there.
  bool Checking() const { return checking_; }

 private:
  std::string root_;
  bool checking_;
};

enum class DestinationUse {
  Backup,  // "Backup Start." is logged and missing folders are made
  Check,   // no rows of a backup and nothing made: only what is there is read
};

// The job's destination, opened: the local folder is made, "Backup Start." is logged and an FTP
// destination is logged in to (a relative remote path is made absolute there). Null, after
// "Backup End." is logged, when the FTP destination cannot be reached.
// Opened for a check, neither "Backup Start." nor "Backup End." is logged and no folder is made.
std::unique_ptr<JobDestination> OpenDestination(JobContext& context, DestinationUse use = DestinationUse::Backup);

// The local folder `folder` as a destination (for tests and tools that need no log rows).
std::unique_ptr<JobDestination> LocalFolderDestination(const std::string& folder);

// The remote path of an FTP destination's archive: `zipPath` without the host name in front of it.
std::string RemoteArchivePath(const std::string& zipPath, const std::string& host);

}  // namespace tarnwick
