#include "engine/BackupVerify.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "engine/LocalSources.h"
#include "zip/ZipArchiveCheck.h"

namespace tarnwick {

namespace {

// The rows of one check: its opening row, a row per mismatch and the sum.
class VerifyTally {
 public:
  VerifyTally(JobContext& context, unsigned openingId, const std::string& what) : context_(context) {
    context_.log.LogActionText(LOG_VERIFY, FormatString(openingId, what.c_str()));
  }
  void Checked() { ++checked_; }
  // The row of a file that matched, naming what was compared.
  void Passed(const std::string& path, const std::string& method) {
    context_.log.LogActionText(LOG_VERIFY, FormatString(IDS_VERIFY_PASSED_ROW, path.c_str(), method.c_str()));
  }
  void Mismatch(const std::string& row) {
    ++failed_;
    LogFailure(context_, LOG_ERROR, row);
  }
  // The sum row, left out when the check was stopped. Returns the mismatches.
  int Finish() {
    ClearStatus(context_);
    if (!context_.StopRequested())
      context_.log.LogActionText(LOG_VERIFY, FormatString(IDS_VERIFY_DONE_ROW, checked_, failed_));
    return failed_;
  }

 private:
  JobContext& context_;
  int checked_ = 0;
  int failed_ = 0;
};

std::string FailedRow(const std::string& path, const std::string& reason) {
  return FormatString(IDS_VERIFY_FAILED_ROW, path.c_str(), reason.c_str());
}

// A temporary folder of its own for a downloaded archive, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-verify-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

int VerifyCopies(JobContext& context, JobDestination& destination, const TransferList& copies,
                 const std::vector<FetchedCopies>& fetched) {
  VerifyTally tally(context, IDS_VERIFY_COPIES_ROW, destination.Root());
  // False once stopped: what a stop cut short is not counted.
  auto check = [&](const TransferEntry& entry, const std::function<CopyVerdict()>& compare) {
    if (context.StopRequested()) return false;
    const CopyVerdict verdict = compare();
    if (context.StopRequested()) return false;
    tally.Checked();
    if (verdict.mismatch.empty()) {
      tally.Passed(entry.target, verdict.method);
    } else {
      tally.Mismatch(FailedRow(entry.target, verdict.mismatch));
    }
    return true;
  };
  for (const TransferEntry& entry : copies) {
    if (!check(entry, [&] { return destination.CheckCopy(context, entry.source, entry.target); })) {
      return tally.Finish();
    }
  }
  for (const FetchedCopies& source : fetched) {
    if (!source.from) continue;  // its session ended early: nothing to ask it
    for (const TransferEntry& entry : source.copies) {
      if (!check(entry,
                 [&] { return destination.CheckFetchedCopy(context, *source.from, entry.source, entry.target); })) {
        return tally.Finish();
      }
    }
  }
  return tally.Finish();
}

int VerifyArchive(JobContext& context, JobDestination& destination, const std::string& localArchive,
                  const std::string& archivePath, ArchiveCopy copy) {
  VerifyTally tally(context, IDS_VERIFY_ARCHIVE_ROW, archivePath);
  bool allMatched = true;
  ZipCheckCallbacks callbacks;
  callbacks.onEntry = [&](const ZipCheckedEntry& entry) {
    tally.Checked();
    if (entry.fault != ZipEntryFault::None) {
      allMatched = false;
      tally.Mismatch(FormatString(IDS_VERIFY_ENTRY_FAILED_ROW, entry.name.c_str(), archivePath.c_str(),
                                  ZipEntryFaultText(entry.fault).c_str()));
    }
    return !context.StopRequested();
  };
  callbacks.onProgress = [&](std::uint64_t done, std::uint64_t total) {
    ShowPathStatus(context, IDS_VERIFY_STATUS, archivePath, static_cast<long long>(done / 1024));
    ShowPercent(context, static_cast<long long>(done), static_cast<long long>(total));
    return !context.StopRequested();
  };
  const Status read = CheckZipArchive(localArchive, callbacks);
  if (read.code() == StatusCode::IoError) {
    tally.Mismatch(
        FailedRow(archivePath, FormatString(IDS_VERIFY_CANNOT_READ, SystemErrorText(read.sysError()).c_str())));
  } else if (read.code() == StatusCode::Corrupt) {
    tally.Mismatch(FailedRow(archivePath, FormatString(IDS_VERIFY_NOT_AN_ARCHIVE, read.message().c_str())));
  } else if (read.ok() && !context.StopRequested()) {
    std::string method =
        LoadString(copy == ArchiveCopy::Downloaded ? IDS_VERIFY_BY_CRC_AFTER_DOWNLOAD : IDS_VERIFY_BY_ENTRY_CRC);
    // A download is itself a reading back of the stored archive; what it was sent from is not.
    if (copy == ArchiveCopy::SentFrom) {
      if (const auto stored = destination.CheckStoredArchive(context, localArchive, archivePath)) {
        if (!stored->mismatch.empty()) tally.Mismatch(FailedRow(archivePath, stored->mismatch));
        method = FormatString(IDS_VERIFY_BY_SENT_ARCHIVE, stored->method.c_str());
        allMatched = allMatched && stored->mismatch.empty();
      }
    }
    if (allMatched && !context.StopRequested()) tally.Passed(archivePath, method);
  }
  return tally.Finish();
}

int RunVerifyJob(JobContext& context, JobKind kind) {
  std::unique_ptr<JobDestination> destination = OpenDestination(context, DestinationUse::Check);
  if (!destination) return VERIFYJOB_NO_DESTINATION;
  int failed = 0;
  if (kind == JobKind::Zip) {
    const std::string archivePath = destination->ArchivePath(context.job);
    ScratchFolder scratch;
    const std::string local = destination->FetchArchive(context, archivePath, scratch.path());
    if (!local.empty()) {
      failed = VerifyArchive(context, *destination, local, archivePath,
                             local == archivePath ? ArchiveCopy::Itself : ArchiveCopy::Downloaded);
    } else if (!context.StopRequested()) {
      VerifyTally tally(context, IDS_VERIFY_ARCHIVE_ROW, archivePath);
      tally.Mismatch(FailedRow(archivePath, LoadString(IDS_VERIFY_DOWNLOAD_FAILED)));
      failed = tally.Finish();
    }
  } else {
    failed = VerifyCopies(context, *destination, BuildLocalSourceList(context, *destination, LocalListKind::Copy));
  }
  destination->Close();
  ClearStatus(context);
  if (context.StopRequested()) {
    context.log.LogAction(LOG_BACKUPSTOPPED, IDS_BACKUP_STOPPED);
    return VERIFYJOB_STOPPED;
  }
  return failed == 0 ? VERIFYJOB_MATCHED : VERIFYJOB_MISMATCHED;
}

}  // namespace tarnwick
