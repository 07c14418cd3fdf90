#include "engine/RunReport.h"

#include <charconv>
#include <cstdio>
#include <utility>

#include "app/StringTable.h"
#include "log/RunLogFile.h"

namespace tarnwick {
namespace {

// The outcomes as the REPORT row names them; the names are stored, never changed.
struct OutcomeName {
  RunOutcome outcome;
  const char* stored;
  unsigned textId;
};
constexpr OutcomeName kOutcomes[] = {
    {RunOutcome::Completed, "completed", IDS_OUTCOME_COMPLETED},
    {RunOutcome::CompletedWithFailures, "completed-with-failures", IDS_OUTCOME_COMPLETED_WITH_FAILURES},
    {RunOutcome::Failed, "failed", IDS_OUTCOME_FAILED},
    {RunOutcome::Stopped, "stopped", IDS_OUTCOME_STOPPED},
    {RunOutcome::CouldNotStart, "could-not-start", IDS_OUTCOME_COULD_NOT_START},
    {RunOutcome::Missed, "missed", IDS_OUTCOME_MISSED},
};

const OutcomeName& NameOf(RunOutcome outcome) {
  for (const OutcomeName& name : kOutcomes) {
    if (name.outcome == outcome) return name;
  }
  return kOutcomes[2];  // not reached: every outcome is listed
}

// A whole decimal number of at least 0; false for anything else.
bool ParseCount(std::string_view text, long long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

}  // namespace

bool RunReport::DeservesNotice() const {
  // A stopped run was stopped by someone; it is told only when it also failed on the way.
  return outcome != RunOutcome::Completed && (outcome != RunOutcome::Stopped || failureRows > 0);
}

RunReport RunReport::Missed(const std::string& profileName, std::time_t due, std::time_t now,
                            const std::string& rowText) {
  RunReport report;
  report.profileName = profileName;
  report.outcome = RunOutcome::Missed;
  report.started = due;
  report.ended = now;
  report.failureRows = 1;
  report.failures.push_back(rowText);
  return report;
}

RunReport RunReport::CouldNotStart(const std::string& profileName, std::time_t now, const std::string& reason) {
  RunReport report;
  report.profileName = profileName;
  report.outcome = RunOutcome::CouldNotStart;
  report.started = report.ended = now;
  report.failureRows = 1;
  report.failures.push_back(reason);
  return report;
}

void RunTally::SettleFile() {
  switch (file_) {
    case FileState::Open: ++report_.filesSkipped; break;
    case FileState::Written: ++report_.filesWritten; break;
    case FileState::Failed: ++report_.filesFailed; break;
    case FileState::None: break;
  }
  file_ = FileState::None;
}

void RunTally::BeginFile() {
  SettleFile();
  file_ = FileState::Open;
}

void RunTally::FileWritten(long long bytes) {
  // Transfers that are not a file of the backup (the archive sent once its entries are in, a copy
  // fetched for the check) come after their files ended.
  if (file_ != FileState::Open) return;
  report_.bytesWritten += bytes;
  file_ = FileState::Written;
}

void RunTally::FileFailed(const std::string& rowText) {
  KeepFailure(rowText);
  if (file_ == FileState::Open || file_ == FileState::Written) {
    file_ = FileState::Failed;
  } else {
    // A listed name refused before its file began: a file of its own that failed.
    ++report_.filesFailed;
  }
}

void RunTally::ItemFailed(const std::string& rowText) { KeepFailure(rowText); }

void RunTally::RunFailed(const std::string& rowText) {
  KeepFailure(rowText);
  runFailed_ = true;
}

void RunTally::KeepFailure(const std::string& rowText) {
  ++report_.failureRows;
  if (report_.failures.size() < RunReport::kFailureRowsKept) report_.failures.push_back(rowText);
}

long long RunTally::FilesDone() const {
  const RunReport counts = Counts();
  return counts.filesWritten + counts.filesSkipped + counts.filesFailed;
}

RunReport RunTally::Counts() const {
  RunTally settled = *this;
  if (settled.file_ != FileState::Open) settled.SettleFile();
  return settled.report_;
}

RunReport RunTally::Ended() const {
  RunTally settled = *this;
  settled.SettleFile();
  return settled.report_;
}

RunReport MakeRunReport(const RunTally& tally, const std::string& profileName, int exitCode, bool stopped,
                        std::time_t started, std::time_t ended) {
  RunReport report = tally.Ended();
  report.profileName = profileName;
  report.started = started;
  report.ended = ended;
  if (stopped) {
    report.outcome = RunOutcome::Stopped;
  } else if (exitCode < 0 || tally.WholeRunFailed() || (report.failureRows > 0 && report.filesWritten == 0)) {
    report.outcome = RunOutcome::Failed;
  } else if (report.failureRows > 0) {
    report.outcome = RunOutcome::CompletedWithFailures;
  } else {
    report.outcome = RunOutcome::Completed;
  }
  return report;
}

std::string OutcomeText(RunOutcome outcome) { return LoadString(NameOf(outcome).textId); }

std::string ByteCountText(long long bytes) {
  if (bytes < 1024) return FormatString(IDS_REPORT_BYTES, bytes);
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
    value /= 1024.0;
    ++unit;
  }
  return FormatString(IDS_REPORT_SIZE, value, kUnits[unit]);
}

std::string ReportSummary(const RunReport& report) {
  if (report.outcome == RunOutcome::Missed || report.outcome == RunOutcome::CouldNotStart || !report.counted) {
    return FormatString(IDS_REPORT_SUMMARY_NO_RUN, OutcomeText(report.outcome).c_str()) + ".";
  }
  const long long seconds = report.ended >= report.started ? static_cast<long long>(report.ended - report.started) : 0;
  std::string text =
      FormatString(IDS_REPORT_SUMMARY, OutcomeText(report.outcome).c_str(), report.filesWritten,
                   ByteCountText(report.bytesWritten).c_str(), seconds / 3600, seconds / 60 % 60, seconds % 60);
  if (report.filesFailed > 0) text += FormatString(IDS_REPORT_SUMMARY_FAILED, report.filesFailed);
  if (report.filesSkipped > 0) text += FormatString(IDS_REPORT_SUMMARY_SKIPPED, report.filesSkipped);
  return text + ".";
}

std::string OverallProgressText(long long filesDone, long long filesInAll, long long bytes) {
  if (filesInAll < 0) return FormatString(IDS_OVERALL_PROGRESS, filesDone, ByteCountText(bytes).c_str());
  return FormatString(IDS_OVERALL_PROGRESS_OF, filesDone, filesInAll, ByteCountText(bytes).c_str());
}

std::string ReportRowText(const RunReport& report) {
  char counts[256];
  std::snprintf(counts, sizeof counts,
                "outcome=%s written=%lld skipped=%lld failed=%lld bytes=%lld failure-rows=%lld started=%lld ended=%lld",
                NameOf(report.outcome).stored, report.filesWritten, report.filesSkipped, report.filesFailed,
                report.bytesWritten, report.failureRows, static_cast<long long>(report.started),
                static_cast<long long>(report.ended));
  return counts;
}

std::optional<RunReport> ParseReportRowText(const std::string& text) {
  RunReport report;
  bool hasOutcome = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t blank = rest.find(' ');
    const std::string_view word = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    if (word.empty()) continue;
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = word.substr(0, equals);
    const std::string_view value = word.substr(equals + 1);
    if (key == "outcome") {
      hasOutcome = false;
      for (const OutcomeName& name : kOutcomes) {
        if (value == name.stored) {
          report.outcome = name.outcome;
          hasOutcome = true;
        }
      }
      if (!hasOutcome) return std::nullopt;
      continue;
    }
    long long number = 0;
    long long* field = key == "written"        ? &report.filesWritten
                       : key == "skipped"      ? &report.filesSkipped
                       : key == "failed"       ? &report.filesFailed
                       : key == "bytes"        ? &report.bytesWritten
                       : key == "failure-rows" ? &report.failureRows
                                               : nullptr;
    const bool isTime = key == "started" || key == "ended";
    if (field == nullptr && !isTime) continue;  // a field of a later version
    if (!ParseCount(value, number)) return std::nullopt;
    if (field != nullptr) {
      *field = number;
    } else {
      (key == "started" ? report.started : report.ended) = static_cast<std::time_t>(number);
    }
  }
  if (!hasOutcome) return std::nullopt;
  return report;
}

void LogRunReport(CActivityLog& log, const RunReport& report) { log.LogActionText(LOG_REPORT, ReportRowText(report)); }

std::optional<RunReport> ReportOfRows(const std::vector<LogRow>& rows) {
  std::string profileName;
  LoggedOutcome logged;
  for (const LogRow& row : rows) {
    if (row.code == LOG_TASKNAME && profileName.empty()) profileName = TaskNameOfRow(row[2]);
    if (row.code == LOG_REPORT) {
      if (std::optional<RunReport> report = ParseReportRowText(row[2])) {
        report->profileName = profileName;
        return report;
      }
    }
    logged.Note(row);
  }
  // A history from before runs had reports: its end and failure rows are all there is to go by.
  if (!logged.ended && !logged.stopped) return std::nullopt;
  RunReport report;
  report.profileName = profileName;
  report.counted = false;
  report.outcome = logged.stopped  ? RunOutcome::Stopped
                   : logged.failed ? RunOutcome::CompletedWithFailures
                                   : RunOutcome::Completed;
  return report;
}

}  // namespace tarnwick
