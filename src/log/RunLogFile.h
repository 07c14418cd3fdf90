// The run history of the background monitor. Nobody watches its console, so every row it logs is
// also appended to a file of the month, "<data folder>/Logs/monitor-YYYY-MM.log", in the log file
// format: Log -> Open... reads it like any saved log, and `tarnwick-cli log --last` prints the last
// run from it. Files of months more than a year back are removed when a new month's file starts.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/Mutex.h"
#include "app/Status.h"
#include "log/ActivityLog.h"

namespace tarnwick {

// The profile name of a task-name row's description; empty for any other description.
std::string TaskNameOfRow(const std::string& description);

// The last run found in the history: its rows from its separator row on, the profile it ran and
// how its rows say it ended (engine/RunReport.h: ReportOfRows reads its report).
struct LastRun {
  std::vector<LogRow> rows;  // empty when the history holds no run
  std::string profileName;
  std::string startTime;  // the time column of its task-name row
  LoggedOutcome loggedEnd;
  Status unreadable;  // why a month file of the history could not be read; Ok otherwise
};

class CRunLogFile : public ActivityLogListener {
 public:
  static constexpr int kMonthsKept = 12;  // the month of the newest row and the eleven before it

  // Appends to the month files in `folder` (created when missing, 0700), each row in the file of
  // the month `clock` says it is.
  CRunLogFile(std::filesystem::path folder, const Clock& clock);

  // DataFolder() / "Logs".
  static std::filesystem::path DefaultFolder();
  // "monitor-YYYY-MM.log" for the local month of `when`.
  static std::string FileNameFor(std::time_t when);
  // The month files in `folder`, oldest first (other files are not the history's).
  static std::vector<std::filesystem::path> MonthFiles(const std::filesystem::path& folder);
  // Removes the month files more than kMonthsKept - 1 months before the month of `now`; returns
  // how many went.
  static int RemoveOldMonths(const std::filesystem::path& folder, std::time_t now);
  // The last run of the history: looked for in the newest file, and in the one before it for a
  // run that began in the previous month.
  static LastRun FindLastRun(const std::filesystem::path& folder);

  // Appends one row (one write of its three lines, so parallel writers never interleave a row);
  // IoError with the file and the system's reason when it cannot be written.
  Status Append(const LogRow& row);

  // The first failure of Append, kept for the front end to report once; Ok while all went well.
  Status FirstFailure() const;

  void OnRowInserted(std::size_t position, const LogRow& row) override;
  void OnCleared() override {}
  void OnRowsLoaded(std::size_t, std::size_t) override {}

 private:
  const std::filesystem::path folder_;
  const Clock& clock_;
  mutable Mutex mutex_;
  std::string currentFile_ GUARDED_BY(mutex_);  // the month file written last
  Status firstFailure_ GUARDED_BY(mutex_);
};

}  // namespace tarnwick
