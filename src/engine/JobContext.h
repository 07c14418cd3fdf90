// What a backup worker works with: the job record (read in place, never changed while it runs), the
// activity log it writes every step to, the observer of its status and progress, and the stop flag
// it polls before each file and each chunk.
#pragma once

#include <atomic>

#include "engine/BackupJob.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"
#include "profiles/Profile.h"

namespace tarnwick {

struct JobContext {
  const BackupJob& job;
  CActivityLog& log;
  JobObserver& observer;
  const std::atomic<bool>& stopRequested;

  bool StopRequested() const { return stopRequested.load(std::memory_order_acquire); }
};

}  // namespace tarnwick
