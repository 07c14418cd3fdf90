// The one account of how a run ended. Every job, every launch that could not happen and every
// scheduled run that was missed ends with one report; the CLI's exit code, the notices, the
// service's status, `log --last` and the window read it, never the log's texts. The jobs fill a
// RunTally as they go; MakeRunReport decides the outcome from it, in one place.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "log/ActivityLog.h"

namespace tarnwick {

enum class RunOutcome {
  Completed,              // reached its end without any failure
  CompletedWithFailures,  // reached its end; some files, sources or checks failed
  Failed,                 // no usable backup: the destination or archive failed, or nothing was written
  Stopped,                // a Stop ended it
  CouldNotStart,          // the launch did not happen (unreadable or refused profile)
  Missed,                 // a scheduled run whose time went by with "Run missed task" off
};

struct RunReport {
  static constexpr std::size_t kFailureRowsKept = 5;

  std::string profileName;
  RunOutcome outcome = RunOutcome::Completed;
  long long filesWritten = 0;  // copies or archive entries made whole
  long long filesSkipped = 0;  // met but not written, without failing: a Stop came during the file
  long long filesFailed = 0;   // "Backup %s Failed." rows
  long long bytesWritten = 0;  // the size of the files written (their sources' bytes)
  long long failureRows = 0;   // every failure row of the run, files and others
  std::time_t started = 0;
  std::time_t ended = 0;
  // The texts of the first kFailureRowsKept failure rows (empty in a report read back from a
  // history, whose rows are there to read).
  std::vector<std::string> failures;
  // False for a report worked out from the rows of a history written before runs had reports: it
  // knows the outcome only, no counts nor times.
  bool counted = true;

  bool Succeeded() const { return outcome == RunOutcome::Completed; }
  // A report the user should hear of while not watching: failures, a failed launch, a missed run.
  bool DeservesNotice() const;

  // The report of a scheduled run due at `due` that was missed, told at `now`; `rowText` is its
  // log row.
  static RunReport Missed(const std::string& profileName, std::time_t due, std::time_t now, const std::string& rowText);
  // The report of a launch at `now` that did not happen, for `reason`.
  static RunReport CouldNotStart(const std::string& profileName, std::time_t now, const std::string& reason);
};

// What a job did so far, filled by the job's own thread as it goes (engine/JobReport.h does it):
// a file begins with its BACKUPFILE row, is written when its copy is complete and fails with its
// failure row; a file that did neither was cut short by a Stop.
class RunTally {
 public:
  void BeginFile();
  // Counts only for a file begun and not yet ended: the other transfers of a job (the archive
  // sent, copies fetched for the check) are no files of the backup.
  void FileWritten(long long bytes);
  void FileFailed(const std::string& rowText);
  // A failure row that is not a file's (a source that cannot be reached or listed, a check).
  void ItemFailed(const std::string& rowText);
  // A failure of the backup as a whole (the archive could not be made or stored, the worker failed).
  void RunFailed(const std::string& rowText);

  long long FilesDone() const;  // written, skipped and failed, the current file once it ended
  long long BytesWritten() const { return report_.bytesWritten; }

  // The counts so far: a file that has not ended yet is not counted.
  RunReport Counts() const;
  // The counts once the run is over: a file that never ended was cut short by a Stop (skipped).
  RunReport Ended() const;
  // Whether a failure of the backup as a whole was noted.
  bool WholeRunFailed() const { return runFailed_; }

 private:
  enum class FileState { None, Open, Written, Failed };
  void SettleFile();
  void KeepFailure(const std::string& rowText);

  RunReport report_;
  FileState file_ = FileState::None;
  bool runFailed_ = false;
};

// Decides the outcome of a job that ran: stopped when a Stop was asked for; failed when the job's
// exit code is negative, the run as a whole failed, or failures came with nothing written;
// completed with failures when any failure row was logged; else completed.
RunReport MakeRunReport(const RunTally& tally, const std::string& profileName, int exitCode, bool stopped,
                        std::time_t started, std::time_t ended);

// The words of an outcome for people ("completed with failed files").
std::string OutcomeText(RunOutcome outcome);
// One line for a status bar or a console: the outcome, files, bytes, time taken and failed files.
std::string ReportSummary(const RunReport& report);
// The overall progress of a run: "12 file(s), 3.4 MB", or "12 of 40 file(s), 3.4 MB" when the
// number of files is known ahead (`filesInAll` is negative when it is not).
std::string OverallProgressText(long long filesDone, long long filesInAll, long long bytes);
// A size for people: "512 bytes", "3.4 KB", "12.0 MB", "1.5 GB".
std::string ByteCountText(long long bytes);

// The REPORT row's description, as docs/log-file.md writes it down: "key=value" words.
std::string ReportRowText(const RunReport& report);
// The report a REPORT row's description holds; nullopt when it is not one (an unknown outcome, a
// count that is not a number). Unknown keys are passed over, so later fields do not break it.
std::optional<RunReport> ParseReportRowText(const std::string& text);
// Logs the REPORT row of `report`.
void LogRunReport(CActivityLog& log, const RunReport& report);

// The report of the last run in `rows` (a run's rows, from its separator on): from its REPORT row;
// for a history written before runs had reports, worked out from its rows' keywords (a run with
// neither a REPORT nor an end row is still running or was cut off: nullopt).
std::optional<RunReport> ReportOfRows(const std::vector<LogRow>& rows);

}  // namespace tarnwick
