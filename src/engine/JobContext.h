// What a backup worker works with: the job record (read in place, never changed while it runs), the
// activity log it writes every step to, the observer of its status and progress, the stop flag
// it polls before each file and each chunk, and the tally of what it did (its own: only the
// worker's thread touches it; engine/JobReport.h fills it with the rows).
#pragma once

#include <atomic>

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

  bool StopRequested() const { return stopRequested.load(std::memory_order_acquire); }
};

}  // namespace tarnwick
