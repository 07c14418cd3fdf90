// The rows and status texts every job writes the same way.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

// "Backup file %s." (BACKUPFILE row).
void LogBackupFile(JobContext& context, const std::string& path);
// "Backup %s Failed." (ERROR row), followed by "Reason: ..." (ERROR row) when the failure left
// its reason in the context.
void LogBackupFailed(JobContext& context, const std::string& path);
// "Reason: %s" (ERROR row), the row after a failed one; nothing for an empty reason.
void LogFailureReason(CActivityLog& log, const std::string& reason);
// The status text of a string-table format taking a path and a size in KB ("Backing up %s | %d KB").
void ShowPathStatus(JobContext& context, unsigned formatId, const std::string& path, long long kilobytes);
// The progress position of `done` bytes out of `size`, in percent (100 for an empty file).
void ShowPercent(JobContext& context, long long done, long long size);
// Clears the status text and the progress bar.
void ClearStatus(JobContext& context);

}  // namespace tarnwick
