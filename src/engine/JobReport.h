// The rows and status texts every job writes the same way.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

// The rows that count go through here, so the job's tally (context.tally) follows them: a file
// begins with its BACKUPFILE row and ends written (NoteFileWritten), failed (its ERROR row) or,
// with neither, cut short by a Stop. Each also tells the observer the run's overall progress.

// "Backup file %s." (BACKUPFILE row): the file `path` begins.
void LogBackupFile(JobContext& context, const std::string& path);
// "Backup %s Failed." (ERROR row): the current file failed (or a listed name was refused);
// followed by "Reason: ..." (ERROR row) when the failure left its reason in the context.
void LogBackupFailed(JobContext& context, const std::string& path);
// "Reason: %s" (ERROR row), the row after a failed one; nothing for an empty reason. Not counted
// as a failure of its own.
void LogFailureReason(CActivityLog& log, const std::string& reason);
// The current file's copy or archive entry of `bytes` bytes is complete.
void NoteFileWritten(JobContext& context, long long bytes);
// A failure row (`code` ERROR, CONNECTFAILED or LOGINFAILED) of something that is not one file:
// a source that cannot be reached or listed, a copy the check found wrong.
void LogFailure(JobContext& context, int code, const std::string& text);
// An ERROR row of a failure of the whole backup: the run fails whatever else it wrote.
void LogRunFailure(JobContext& context, const std::string& text);
// The status text of a string-table format taking a path and a size in KB ("Backing up %s | %d KB").
void ShowPathStatus(JobContext& context, unsigned formatId, const std::string& path, long long kilobytes);
// The progress position of `done` bytes out of `size`, in percent (100 for an empty file).
void ShowPercent(JobContext& context, long long done, long long size);
// Clears the status text and the progress bar.
void ClearStatus(JobContext& context);

}  // namespace tarnwick
