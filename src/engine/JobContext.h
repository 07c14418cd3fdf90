// What a backup worker works with: the job record (read in place, never changed while it runs), the
// activity log it writes every step to, the observer of its status and progress, the stop flag
// it polls before each file and each chunk, and the tally of what it did (its own: only the
// worker's thread touches it; engine/JobReport.h fills it with the rows).
#pragma once

#include <atomic>
#include <string>

#include "engine/BackupJob.h"
#include "engine/JobObserver.h"
#include "engine/RunReport.h"
#include "log/ActivityLog.h"
#include "profiles/Profile.h"

namespace tarnwick {

struct JobContext {
  const BackupJob& job;
  CActivityLog& log;
  JobObserver& observer;
  const std::atomic<bool>& stopRequested;
  RunTally tally{};
  // The number of files the run will meet, when known before it starts; negative when not.
  long long filesInAll = -1;

  // Why the file being backed up failed, in the system's or the server's words: set where the
  // failure is found, written by LogBackupFailed in an ERROR row after "Backup ... Failed." and
  // cleared by it and by LogBackupFile. Only the job's worker touches it.
  std::string failureReason{};

  bool StopRequested() const { return stopRequested.load(std::memory_order_acquire); }
  // Keeps `why` as the failure's reason, unless a stop caused the failure (a stop is no failure);
  // false, for `return context.Fail(...)`.
  bool Fail(const Status& why) {
    if (!StopRequested() && !why.ok() && why.code() != StatusCode::Stopped) failureReason = why.ToString();
    return false;
  }
  // The same for a system call on `path` that failed with `error`.
  bool FailErrno(const std::string& path, int error) { return Fail(Status::IoError(path, error)); }
};

}  // namespace tarnwick
