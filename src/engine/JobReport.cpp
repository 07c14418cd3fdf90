#include "engine/JobReport.h"

#include <algorithm>

#include "app/StringTable.h"

namespace tarnwick {

void LogBackupFile(JobContext& context, const std::string& path) {
  context.failureReason.clear();
  context.log.LogActionText(LOG_BACKUPFILE, FormatString(IDS_BACKUP_FILE_ROW, path.c_str()));
}

void LogBackupFailed(JobContext& context, const std::string& path) {
  context.log.LogActionText(LOG_ERROR, FormatString(IDS_BACKUP_FAILED_ROW, path.c_str()));
  LogFailureReason(context.log, context.failureReason);
  context.failureReason.clear();
}

void LogFailureReason(CActivityLog& log, const std::string& reason) {
  if (!reason.empty()) log.LogActionText(LOG_ERROR, FormatString(IDS_FAILURE_REASON_ROW, reason.c_str()));
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
