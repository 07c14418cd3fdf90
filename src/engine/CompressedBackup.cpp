#include "engine/CompressedBackup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "app/StringTable.h"
#include "engine/EngineTexts.h"
#include "engine/FtpTransfers.h"
#include "engine/JobOpening.h"
#include "engine/RemoteArchive.h"
#include "formats/FileIo.h"
#include "zip/ZipException.h"
#include "zip/ZipWriter.h"

namespace tarnwick {

namespace {

void ClearStatus(JobContext& context) {
  context.observer.OnClearStatus();
  context.observer.OnResetProgress();
}

// The archive while it is being written: a temporary file beside its target (or in the temporary
// folder when the target is remote), removed unless it was renamed into place.
class TemporaryArchive {
 public:
  explicit TemporaryArchive(const std::string& besideTarget) {
    const std::string target = besideTarget.empty()
                                   ? (std::filesystem::temp_directory_path() / "archive.zip").string()
                                   : besideTarget;
    // Owner-only: the archive gathers copies of files whatever their own permissions were.
    const int fd = CreateTemporaryBeside(target, 0600, path_);
    if (fd < 0) {
      error_ = errno;
      return;
    }
    ::close(fd);
  }
  ~TemporaryArchive() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryArchive(const TemporaryArchive&) = delete;
  TemporaryArchive& operator=(const TemporaryArchive&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // False with errno kept when the rename fails; the temporary file then still goes.
  bool CommitTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
      error_ = errno;
      return false;
    }
    path_.clear();
    return true;
  }
  int error() const { return error_; }

 private:
  std::string path_;
  int error_ = 0;
};

std::string FailureReason(const std::exception& failure) {
  if (const auto* zip = dynamic_cast<const CZipException*>(&failure)) {
    if (zip->systemError() != 0) return std::strerror(zip->systemError());
    if (zip->cause() == CZipException::notEnoughMemory) return std::strerror(ENOMEM);
    return "compression failed (" + std::to_string(zip->cause()) + ")";
  }
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return std::strerror(ENOMEM);
  return failure.what();
}

// Adds the local entries; false when stopped before one of them.
bool AddLocalEntries(JobContext& context, const TransferList& list, CZipWriter& writer) {
  int shownKb = 0;  // repeated when a file's size cannot be read
  for (const TransferEntry& entry : list) {
    if (context.StopRequested()) return false;
    const char* source = entry.source.c_str();
    context.log.LogActionText(LOG_BACKUPFILE, FormatText(kBackupFileText, source));
    // A file that cannot be read is a failed file, not a silent gap in the archive.
    if (!writer.AddFileFromPath(entry.source, entry.target, context.job.zipLevel)) {
      context.log.LogActionText(LOG_ERROR, FormatText(kBackupFailedText, source));
    }
    // The size the add saw when it opened the file; only a file it could not open is looked up.
    std::int64_t size = writer.LastSourceSize();
    struct stat status {};
    if (size < 0 && ::stat(source, &status) == 0) size = status.st_size;
    if (size >= 0) shownKb = static_cast<int>(size / 1024);
    context.observer.OnStatusText(FormatText(kAddingToZipText, source, shownKb));
  }
  return true;
}

}  // namespace

void CollectFolderForArchive(const std::string& folder, const FilterLists& filter, bool recursive,
                             TransferList& list, const std::string& archiveFolder) {
  FolderTargets targets;
  targets.join = [](const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
  };
  EnumerateLocalFolder(folder, filter, recursive, archiveFolder, targets, list);
}

TransferList BuildArchiveList(const BackupJob& job) {
  TransferList list;
  for (const SourceItem& item : job.localSources) {
    if (item.kind == ItemKind::LocalFile) {
      list.push_back({item.path, LastPathComponent(item.path)});
    } else if (item.kind == ItemKind::LocalFolder) {
      CollectFolderForArchive(item.path, SplitFilter(item.filter), item.recursive, list,
                              LastPathComponent(item.path));
    }
  }
  return list;
}

std::string RemoteArchivePath(const std::string& zipPath, const std::string& host) {
  if (host.empty() || zipPath.find(host) == std::string::npos) return zipPath;
  return zipPath.substr(host.size());
}

int RunZipJob(JobContext& context) {
  const BackupJob& job = context.job;
  FtpSite destination = job.ftpDest;
  FtpJobConnection connection;
  if (!OpenJob(context, destination, connection)) return ZIPJOB_NO_FTP_DESTINATION;
  const std::string archiveName =
      job.destIsLocal ? job.zipPath : RemoteArchivePathForJob(job, *connection);

  // Every way the archive file cannot be made is reported alike.
  std::optional<TemporaryArchive> temporary;
  if (!job.zipPath.empty()) temporary.emplace(job.destIsLocal ? job.zipPath : std::string());
  CZipWriter writer;
  bool created = temporary && temporary->ok();
  if (created) {
    try {
      writer.OpenOnFile(temporary->path());
    } catch (const CZipException&) {
      created = false;
    }
  }
  if (!created) {
    context.log.LogActionText(LOG_ERROR, kCannotCreateArchiveText);
    CloseJobConnection(connection);
    return ZIPJOB_CANNOT_CREATE;
  }

  const TransferList list = BuildArchiveList(job);
  if (!job.destIsLocal && !PrepareRemoteArchive(context, *connection, archiveName)) {
    writer.Abort();
    context.log.LogActionText(LOG_ERROR, kCannotCreateArchiveText);
    CloseJobConnection(connection);
    return ZIPJOB_CANNOT_CREATE_REMOTE;
  }
  bool stoppedLocally = false;
  bool stopped = false;
  try {
    stoppedLocally = !AddLocalEntries(context, list, writer);
    if (stoppedLocally) {
      // What was added so far still becomes a complete archive.
      writer.Close();
    } else {
      for (const FtpSource& source : job.remoteSources) {
        if (context.StopRequested()) break;
        ZipRemoteSource(context, source, writer);
      }
      stopped = context.StopRequested();
      if (!stopped) {
        context.log.LogActionText(LOG_COMPRESSFILE, FormatText(kCompressingAllText, archiveName.c_str()));
        writer.Flush();
      }
      writer.Close();
    }
  } catch (const std::exception& failure) {
    writer.Abort();
    context.log.LogActionText(LOG_ERROR,
                              FormatText(kArchiveFailedText, archiveName.c_str(), FailureReason(failure).c_str()));
    ClearStatus(context);
    CloseJobConnection(connection);
    return ZIPJOB_WRITER_FAILED;
  }

  if (stoppedLocally || stopped) {
    // A stopped job still puts its closed archive in place; nothing is sent to an FTP destination.
    if (job.destIsLocal && !temporary->CommitTo(job.zipPath)) {
      context.log.LogActionText(LOG_ERROR,
                                FormatText(kArchiveFailedText, archiveName.c_str(), std::strerror(temporary->error())));
    }
    ClearStatus(context);
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
    CloseJobConnection(connection);
    return stoppedLocally ? ZIPJOB_STOPPED : ZIPJOB_ENDED;
  }

  if (job.destIsLocal) {
    if (!temporary->CommitTo(job.zipPath)) {
      context.log.LogActionText(LOG_ERROR,
                                FormatText(kArchiveFailedText, archiveName.c_str(), std::strerror(temporary->error())));
    }
  } else if (!UploadArchive(context, temporary->path(), archiveName, *connection)) {
    context.log.LogActionText(LOG_ERROR, FormatText(kBackupFailedText, archiveName.c_str()));
  }
  CloseJobConnection(connection);
  ClearStatus(context);
  if (!context.StopRequested()) context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  return ZIPJOB_ENDED;
}

}  // namespace tarnwick
