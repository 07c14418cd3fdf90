#include "engine/JobDestination.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/CopyCheck.h"
#include "engine/FtpTransfers.h"
#include "engine/JobReport.h"
#include "engine/LocalCopy.h"
#include "engine/PathFilter.h"
#include "formats/PartFile.h"

namespace tarnwick {

namespace {

// Whether the file `name` from outside, put into `folder`, stays below `root`.
bool TargetLiesUnder(const std::string& root, const std::string& folder, const std::string& name) {
  return LiesUnder(root, folder) && LiesUnder(root, JoinPath(folder, name));
}

// The folder part of `path` ("" for a bare name).
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

// Each folder a job writes into is cleared once per job of what killed runs of this machine left
// there (temporary files of processes that no longer run); nothing else is ever removed.
class StaleTemporaryCleaner {
 public:
  // True the first time `folder` is seen.
  bool FirstVisit(const std::string& folder) { return visited_.insert(folder).second; }

 private:
  std::set<std::string> visited_;
};

class LocalDestination final : public JobDestination {
 public:
  // `datedBase`: the folder that holds the date folders, empty without them.
  LocalDestination(std::string folder, std::string datedBase, bool checking)
      : JobDestination(std::move(folder), checking), datedBase_(std::move(datedBase)) {}

  std::vector<std::string> FoldersToSkip() const override {
    if (datedBase_.empty()) return {Root()};
    return {Root(), datedBase_};
  }
  void CreateFolderChain(const std::string& path) override {
    if (!Checking() && LiesUnder(Root(), path)) CreateLocalFolderChain(path);
  }
  void CreateFolder(const std::string& path) override {
    if (!Checking() && LiesUnder(Root(), path)) ::mkdir(path.c_str(), 0777);
  }

  bool PutLocalFile(JobContext& context, const std::string& source, const std::string& target) override {
    if (!LiesUnder(Root(), target)) return false;
    Clean(FolderOf(target));
    return CopyLocalFile(context, source, target);
  }
  bool PutRemoteFile(JobContext& context, CFtpJobConnection& from, const std::string& source,
                     const std::string& targetFolder) override {
    if (!TargetLiesUnder(Root(), targetFolder, LastPathComponent(source))) return false;
    Clean(targetFolder);
    return DownloadFile(context, source, targetFolder, from);
  }

  std::string ArchivePath(const BackupJob& job) override { return job.zipPath; }
  std::string ArchiveWorkPath(const BackupJob& job) const override { return job.zipPath; }
  bool PrepareArchive(const std::string& archivePath) override {
    Clean(FolderOf(archivePath));
    return true;
  }

  void StoreArchive(JobContext& context, CPartFile& archive, const std::string& archivePath, bool) override {
    if (archive.Commit()) return;
    LogRunFailure(
        context, FormatString(IDS_ARCHIVE_WRITE_FAILED, archivePath.c_str(), SystemErrorText(archive.error()).c_str()));
  }

  CopyVerdict CheckCopy(JobContext& context, const std::string& source, const std::string& target) override {
    return CheckLocalCopy(context, source, target);
  }
  CopyVerdict CheckFetchedCopy(JobContext& context, CFtpJobConnection& from, const std::string& source,
                               const std::string& target) override {
    return CheckRemoteCopy(context, from.Session(), target, source, CopyLies::Here, context.job.readBack);
  }
  std::string FetchArchive(JobContext&, const std::string& archivePath, const std::string&) override {
    return archivePath;
  }

 private:
  void Clean(const std::string& folder) {
    if (cleaner_.FirstVisit(folder)) RemoveStaleTemporaries(folder);
  }

  std::string datedBase_;
  StaleTemporaryCleaner cleaner_;
};

class FtpDestination final : public JobDestination {
 public:
  // `site` has the absolute remote path the login gave.
  FtpDestination(const FtpSite& site, FtpJobConnection connection, bool checking)
      : JobDestination(site.remotePath, checking), connection_(std::move(connection)) {}

  std::vector<std::string> FoldersToSkip() const override { return {}; }
  void CreateFolderChain(const std::string& path) override {
    if (!Checking() && LiesUnder(Root(), path)) CreateRemoteFolderChain(*connection_, path);
  }
  void CreateFolder(const std::string& path) override {
    if (!Checking() && LiesUnder(Root(), path)) CreateRemoteFolder(*connection_, path);
  }

  bool PutLocalFile(JobContext& context, const std::string& source, const std::string& target) override {
    if (!LiesUnder(Root(), target)) return false;
    Clean(FolderOf(target));
    return UploadFile(context, source, target, *connection_);
  }
  bool PutRemoteFile(JobContext& context, CFtpJobConnection& from, const std::string& source,
                     const std::string& targetFolder) override {
    if (!TargetLiesUnder(Root(), targetFolder, LastPathComponent(source))) return false;
    CreateRemoteFolderChain(*connection_, targetFolder);
    Clean(targetFolder);
    return CopyRemoteFile(context, source, targetFolder, from, *connection_);
  }

  std::string ArchivePath(const BackupJob& job) override {
    std::string path = RemoteArchivePath(job.zipPath, job.ftpDest.host);
    const std::string& typed = job.ftpDest.remotePath;
    // The destination text puts a "/" between the host and a relative remote path; that "/" is not
    // the server's root: such an archive lies below the login folder, as the copy job takes it.
    if ((typed.empty() || typed.front() != '/') && !path.empty() && path.front() == '/') {
      return connection_->Session().AbsolutePath(path.substr(1));
    }
    return path;
  }

  // The archive is made in the temporary folder and sent once complete.
  std::string ArchiveWorkPath(const BackupJob&) const override {
    return (std::filesystem::temp_directory_path() / "archive.zip").string();
  }

  bool PrepareArchive(const std::string& archivePath) override {
    // A date folder is new on every day's first run: without it the archive could never be created.
    const auto slash = archivePath.rfind('/');
    if (slash != std::string::npos) CreateRemoteFolderChain(*connection_, archivePath.substr(0, slash));
    Clean(FolderOf(archivePath));
    RemoveStaleTemporaries(FolderOf(ArchiveWorkPath(BackupJob())));
    return CanCreateRemoteFile(*connection_, archivePath);
  }

  void StoreArchive(JobContext& context, CPartFile& archive, const std::string& archivePath, bool stopped) override {
    if (stopped) return;
    // The upload reads the closed temporary file, which goes when `archive` does.
    long long kilobytes = 0;
    const bool sent =
        UploadFile(context, archive.path(), archivePath, *connection_, [&](long long chunk, long long, long long) {
          kilobytes += chunk / 1024;
          ShowPathStatus(context, IDS_COMPRESSING_TO_STATUS, archivePath, kilobytes);
        });
    // The archive is the backup: without it on the server the run failed, whatever went into it.
    if (!sent) LogRunFailure(context, FormatString(IDS_BACKUP_FAILED_ROW, archivePath.c_str()));
  }

  CopyVerdict CheckCopy(JobContext& context, const std::string& source, const std::string& target) override {
    return CheckRemoteCopy(context, connection_->Session(), source, target, CopyLies::OnServer, context.job.readBack);
  }
  CopyVerdict CheckFetchedCopy(JobContext& context, CFtpJobConnection& from, const std::string& source,
                               const std::string& target) override {
    return CheckServerCopy(context, from.Session(), source, connection_->Session(), target, context.job.readBack);
  }
  std::optional<CopyVerdict> CheckStoredArchive(JobContext& context, const std::string& localArchive,
                                                const std::string& archivePath) override {
    return CheckCopy(context, localArchive, archivePath);
  }
  std::string FetchArchive(JobContext& context, const std::string& archivePath, const std::string& scratch) override {
    if (!DownloadFile(context, archivePath, scratch, *connection_) || context.StopRequested()) return {};
    return JoinPath(scratch, LastPathComponent(archivePath));
  }

  void Close() override { CloseJobConnection(connection_); }

 private:
  // Stale temporaries on the server: one listing per folder and job.
  void Clean(const std::string& folder) {
    if (!cleaner_.FirstVisit(folder)) return;
    std::vector<FtpFileInfo> entries;
    if (!connection_->Session().List(folder, entries).ok()) return;
    for (const FtpFileInfo& entry : entries) {
      if (!entry.isDirectory && IsStaleTemporaryName(entry.name)) {
        (void)connection_->Session().DeleteFile(JoinPath(folder, entry.name));  // tried again next run
      }
    }
  }

  FtpJobConnection connection_;
  StaleTemporaryCleaner cleaner_;
};

}  // namespace

std::unique_ptr<JobDestination> OpenDestination(JobContext& context, DestinationUse use) {
  const BackupJob& job = context.job;
  const bool checking = use == DestinationUse::Check;
  if (!checking) {
    if (job.destIsLocal) CreateLocalFolderChain(job.localDestFolder);
    context.log.LogAction(LOG_BACKUPSTART, IDS_BACKUP_START);
  }
  if (job.destIsLocal) {
    const std::string datedBase =
        job.useDateFolder ? job.localDestFolder.substr(0, job.localDestFolder.rfind('/')) : std::string();
    return std::make_unique<LocalDestination>(job.localDestFolder, datedBase, checking);
  }
  FtpSite site = job.ftpDest;
  FtpJobConnection connection = ConnectForJob(context, site, true);
  if (connection) return std::make_unique<FtpDestination>(site, std::move(connection), checking);
  if (!checking && context.StopRequested()) {
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
  } else if (!checking) {
    context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  }
  return nullptr;
}

std::unique_ptr<JobDestination> LocalFolderDestination(const std::string& folder) {
  return std::make_unique<LocalDestination>(folder, std::string(), false);
}

std::string RemoteArchivePath(const std::string& zipPath, const std::string& host) {
  if (host.empty() || zipPath.find(host) == std::string::npos) return zipPath;
  return zipPath.substr(host.size());
}

}  // namespace tarnwick
