#include "engine/CompressedBackup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/BackupVerify.h"
#include "engine/JobDestination.h"
#include "engine/JobReport.h"
#include "engine/LocalSources.h"
#include "engine/RemoteArchive.h"
#include "formats/PartFile.h"
#include "zip/ZipException.h"
#include "zip/ZipWriter.h"

namespace tarnwick {

namespace {

std::string FailureReason(const std::exception& failure) {
  if (const auto* zip = dynamic_cast<const CZipException*>(&failure)) {
    if (zip->systemError() != 0) return SystemErrorText(zip->systemError());
    if (zip->cause() == CZipException::notEnoughMemory) return SystemErrorText(ENOMEM);
    return "compression failed (" + std::to_string(zip->cause()) + ")";
  }
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return SystemErrorText(ENOMEM);
  return failure.what();
}

// Adds the local entries as the walk finds them (no list of them all is kept); false when stopped
// before one of them.
bool AddLocalEntries(JobContext& context, JobDestination& destination, CZipWriter& writer) {
  int shownKb = 0;  // repeated when a file's size cannot be read
  return ForEachLocalSource(context, destination, LocalListKind::Archive, [&](TransferEntry&& entry) {
    if (context.StopRequested()) return false;
    LogBackupFile(context, entry.source);
    // A file that cannot be read is a failed file, not a silent gap in the archive.
    if (!writer.AddFileFromPath(entry.source, entry.target, context.job.zipLevel)) {
      LogBackupFailed(context, entry.source);
    } else {
      NoteFileWritten(context, std::max<std::int64_t>(writer.LastSourceSize(), 0));
    }
    // The size the add saw when it opened the file; only a file it could not open is looked up.
    std::int64_t size = writer.LastSourceSize();
    struct stat status {};
    if (size < 0 && ::stat(entry.source.c_str(), &status) == 0) size = status.st_size;
    if (size >= 0) shownKb = static_cast<int>(size / 1024);
    ShowPathStatus(context, IDS_ADDING_TO_ZIP_STATUS, entry.source, shownKb);
    return true;
  });
}

// The archive file while it is made: a temporary file the writer fills by its path. Every way it
// cannot be made is reported alike.
bool CreateArchive(JobContext& context, std::optional<CPartFile>& archive, const std::string& workPath,
                   CZipWriter& writer) {
  if (!context.job.zipPath.empty()) {
    // Owner-only: the archive gathers copies of files whatever their own permissions were.
    archive.emplace(workPath, 0600);
    if (archive->ok() && archive->Close()) {
      try {
        writer.OpenOnFile(archive->path());
        return true;
      } catch (const CZipException&) {
      }
    }
  }
  LogRunFailure(context, LoadString(IDS_CANNOT_CREATE_ARCHIVE));
  return false;
}

// How the entries went in: stopped among the local files, stopped later, or complete.
enum class Filling { StoppedLocally, Stopped, Complete };

// Adds every local and remote file and closes the archive (a stopped job's archive is closed too:
// what was added so far still becomes a complete archive). Throws what the writer throws.
Filling FillArchive(JobContext& context, JobDestination& destination, CZipWriter& writer,
                    const std::string& archivePath) {
  if (!AddLocalEntries(context, destination, writer)) {
    writer.Close();
    return Filling::StoppedLocally;
  }
  for (const FtpSource& source : context.job.remoteSources) {
    if (context.StopRequested()) break;
    ZipRemoteSource(context, source, writer);
  }
  const bool stopped = context.StopRequested();
  if (!stopped) {
    context.log.LogActionText(LOG_COMPRESSFILE, FormatString(IDS_COMPRESSING_ALL_ROW, archivePath.c_str()));
    writer.Flush();
  }
  writer.Close();
  return stopped ? Filling::Stopped : Filling::Complete;
}

}  // namespace

int RunZipJob(JobContext& context) {
  const BackupJob& job = context.job;
  std::unique_ptr<JobDestination> destination = OpenDestination(context);
  if (!destination) return ZIPJOB_NO_FTP_DESTINATION;
  const std::string archivePath = destination->ArchivePath(job);

  std::optional<CPartFile> archive;
  CZipWriter writer;
  if (!CreateArchive(context, archive, destination->ArchiveWorkPath(job), writer)) {
    destination->Close();
    return ZIPJOB_CANNOT_CREATE;
  }
  if (!destination->PrepareArchive(archivePath)) {
    writer.Abort();
    LogRunFailure(context, LoadString(IDS_CANNOT_CREATE_ARCHIVE));
    destination->Close();
    return ZIPJOB_CANNOT_CREATE_REMOTE;
  }

  if (!SourcesAvoidDestination(context, *destination, LocalListKind::Archive)) {
    writer.Abort();
    destination->Close();
    context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
    return ZIPJOB_ENDED;
  }
  Filling filling;
  try {
    filling = FillArchive(context, *destination, writer, archivePath);
  } catch (const std::exception& failure) {
    writer.Abort();
    LogRunFailure(context, FormatString(IDS_ARCHIVE_WRITE_FAILED, archivePath.c_str(), FailureReason(failure).c_str()));
    ClearStatus(context);
    destination->Close();
    return ZIPJOB_WRITER_FAILED;
  }

  if (filling != Filling::Complete) {
    destination->StoreArchive(context, *archive, archivePath, true);
    ClearStatus(context);
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
    destination->Close();
    return filling == Filling::StoppedLocally ? ZIPJOB_STOPPED : ZIPJOB_ENDED;
  }

  destination->StoreArchive(context, *archive, archivePath, false);
  if (job.verify && !context.StopRequested()) {
    // A local archive is read where it now lies; one sent to a server from the copy it was sent from.
    VerifyArchive(context, *destination, job.destIsLocal ? archivePath : archive->path(), archivePath,
                  job.destIsLocal ? ArchiveCopy::Itself : ArchiveCopy::SentFrom);
  }
  destination->Close();
  ClearStatus(context);
  if (!context.StopRequested()) context.log.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  return ZIPJOB_ENDED;
}

}  // namespace tarnwick
