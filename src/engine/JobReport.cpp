#include "engine/JobReport.h"

#include <algorithm>

#include "app/StringTable.h"

namespace tarnwick {

namespace {

void TellProgress(JobContext& context) {
  context.observer.OnRunProgress({context.tally.FilesDone(), context.filesInAll, context.tally.BytesWritten()});
}

}  // namespace

void LogBackupFile(JobContext& context, const std::string& path) {
  context.failureReason.clear();
  context.tally.BeginFile();
  TellProgress(context);
  context.log.LogActionText(LOG_BACKUPFILE, FormatString(IDS_BACKUP_FILE_ROW, path.c_str()));
}

void LogBackupFailed(JobContext& context, const std::string& path) {
  const std::string row = FormatString(IDS_BACKUP_FAILED_ROW, path.c_str());
  context.tally.FileFailed(row);
  context.log.LogActionText(LOG_ERROR, row);
  LogFailureReason(context.log, context.failureReason);
  context.failureReason.clear();
  TellProgress(context);
}

void LogFailureReason(CActivityLog& log, const std::string& reason) {
  if (!reason.empty()) log.LogActionText(LOG_ERROR, FormatString(IDS_FAILURE_REASON_ROW, reason.c_str()));
}

void NoteFileWritten(JobContext& context, long long bytes) {
  context.tally.FileWritten(bytes);
  TellProgress(context);
}

void LogFailure(JobContext& context, int code, const std::string& text) {
  context.tally.ItemFailed(text);
  context.log.LogActionText(code, text);
}

void LogRunFailure(JobContext& context, const std::string& text) {
  context.tally.RunFailed(text);
  context.log.LogActionText(LOG_ERROR, text);
}

void ShowPathStatus(JobContext& context, unsigned formatId, const std::string& path, long long kilobytes) {
  context.observer.OnStatusText(FormatString(formatId, path.c_str(), static_cast<int>(kilobytes)));
}

void ShowPercent(JobContext& context, long long done, long long size) {
  context.observer.OnProgress(size > 0 ? std::min<long long>(done * 100 / size, 100) : 100, 100);
}

void ClearStatus(JobContext& context) {
  context.observer.OnClearStatus();
  context.observer.OnResetProgress();
}

}  // namespace tarnwick
