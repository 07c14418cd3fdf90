#include "engine/BackupController.h"

#include <exception>
#include <system_error>

#include "app/StringTable.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "engine/JobContext.h"

namespace tarnwick {

namespace {

// The ERROR row of a worker that ended on an unexpected exception.
constexpr const char* kWorkerFailedText = "The backup job ended on an error: %s";
// The editor's text for a profile without a destination.
constexpr const char* kNoDestinationText =
    "Please specify backup destination.\nIt could be a local folder or a remote FTP path.";

}  // namespace

CBackupController::CBackupController(CActivityLog& log, JobObserver& observer, UserPrompts& prompts,
                                     const Clock& clock, CProfileCatalogue& catalogue)
    : log_(log), observer_(observer), prompts_(prompts), clock_(clock), catalogue_(catalogue),
      monitor_(*this, catalogue, prompts) {}

CBackupController::~CBackupController() { Shutdown(); }

CBackupController::StartResult CBackupController::MakeJob(const Profile& profile, bool reportBusy) {
  // The rule is taken before the record is touched and held until the worker runs, so nothing can
  // slip in between filling the record and starting the worker.
  bool claimed = false;
  {
    std::lock_guard lock(endMutex_);
    if (state_.load(std::memory_order_acquire) == State::Idle) {
      state_.store(State::Starting, std::memory_order_release);
      // Cleared together with the claim: a Stop that arrives while this job is being started is
      // kept, so the new job ends at its first check.
      stopRequested_.store(false, std::memory_order_release);
      claimed = true;
    }
  }
  if (!claimed) {
    if (reportBusy) prompts_.ShowMessage(LoadString(IDS_ANOTHER_JOB_RUNNING));
    return StartResult::Busy;
  }
  // The previous worker has cleared its flag; joining it makes its last steps visible here.
  if (worker_.joinable()) worker_.join();

  if (profile.destIsLocal && profile.localDestFolder.empty()) {
    // The editor never starts such a profile, but a profile file can say so: every target would
    // then be joined onto the root of the file system.
    prompts_.ShowMessage(kNoDestinationText);
    SetIdle();
    return StartResult::Refused;
  }
  const MakeJobResult made = tarnwick::MakeJob(profile, job_, clock_.Now());
  if (!made.status.ok()) {
    prompts_.ShowMessage(made.status.ToString());
    SetIdle();
    return StartResult::Refused;
  }
  state_.store(made.kind == JobKind::Zip ? State::Zip : State::Copy, std::memory_order_release);
  try {
    worker_ = std::thread(&CBackupController::WorkerMain, this, made.kind);
  } catch (const std::system_error&) {
    SetIdle();
    return StartResult::Failed;
  }
  return StartResult::Started;
}

CBackupController::StartResult CBackupController::RunNow(const Profile& profile) {
  LogTaskStart(profile.name);
  catalogue_.StampLastRun(profile.name);
  return MakeJob(profile);
}

void CBackupController::LogTaskStart(const std::string& name) {
  log_.LogActionText(LOG_SEPARATOR, "");
  log_.LogActionText(LOG_TASKNAME,
                     FormatString(IDS_TASK_NAME_ROW, name.empty() ? LoadString(IDS_NONAME) : name.c_str()));
}

bool CBackupController::Stop() {
  {
    // Under the lock that claims and ends a job, so a Stop cannot be lost to a job being started.
    std::lock_guard lock(endMutex_);
    if (!IsBusy()) return false;
    stopRequested_.store(true, std::memory_order_release);
  }
  observer_.OnStatusText(LoadString(IDS_PLEASE_WAIT_STOPPING));
  return true;
}

void CBackupController::WaitForJobEnd() {
  std::unique_lock lock(endMutex_);
  jobEnded_.wait(lock, [this] { return !IsBusy(); });
}

bool CBackupController::WaitForJobEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(endMutex_);
  return jobEnded_.wait_for(lock, timeout, [this] { return !IsBusy(); });
}

void CBackupController::Shutdown() {
  Stop();
  WaitForJobEnd();
  if (worker_.joinable()) worker_.join();
}

void CBackupController::WorkerMain(JobKind kind) {
  JobContext context{job_, log_, observer_, stopRequested_};
  // A backup never ends the process: whatever escapes a job ends it here, in order.
  try {
    if (kind == JobKind::Zip) {
      RunZipJob(context);
    } else {
      RunCopyJob(context);
    }
  } catch (const std::exception& e) {
    log_.LogActionText(LOG_ERROR, FormatText(kWorkerFailedText, e.what()));
    observer_.OnClearStatus();
    observer_.OnResetProgress();
  } catch (...) {
    log_.LogActionText(LOG_ERROR, FormatText(kWorkerFailedText, "unknown"));
    observer_.OnClearStatus();
    observer_.OnResetProgress();
  }
  SetIdle();
}

void CBackupController::SetIdle() {
  {
    std::lock_guard lock(endMutex_);
    state_.store(State::Idle, std::memory_order_release);
  }
  jobEnded_.notify_all();
}

}  // namespace tarnwick
