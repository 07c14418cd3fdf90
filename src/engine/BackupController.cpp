#include "engine/BackupController.h"

#include <exception>
#include <system_error>

#include "app/StringTable.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "engine/JobContext.h"
#include "engine/JobReport.h"

namespace tarnwick {

CBackupController::CBackupController(CActivityLog& log, JobObserver& observer, UserPrompts& prompts, const Clock& clock,
                                     CProfileCatalogue& catalogue)
    : log_(log), observer_(observer), prompts_(prompts), clock_(clock), catalogue_(catalogue) {}

CBackupController::~CBackupController() { Shutdown(); }

CBackupController::StartResult CBackupController::MakeJob(const Profile& profile, bool reportBusy) {
  const Status started = StartJob(profile);
  switch (started.code()) {
    case StatusCode::Ok: return StartResult::Started;
    case StatusCode::Busy:
      if (reportBusy) prompts_.ShowMessage(started.message());
      return StartResult::Busy;
    case StatusCode::InvalidArgument: prompts_.ShowMessage(started.ToString()); return StartResult::Refused;
    default: return StartResult::Failed;
  }
}

Status CBackupController::StartJob(const Profile& profile) {
  // The rule is taken before the record is touched and held until the worker runs, so nothing can
  // slip in between filling the record and starting the worker.
  bool claimed = false;
  {
    MutexLock lock(endMutex_);
    if (state_.load(std::memory_order_acquire) == State::Idle) {
      state_.store(State::Starting, std::memory_order_release);
      // Cleared together with the claim: a Stop that arrives while this job is being started is
      // kept, so the new job ends at its first check.
      stopRequested_.store(false, std::memory_order_release);
      runningProfile_ = profile.name;
      claimed = true;
    }
  }
  if (!claimed) return Status::Busy(LoadString(IDS_ANOTHER_JOB_RUNNING));
  // The previous worker has cleared its flag; joining it makes its last steps visible here.
  if (worker_.joinable()) worker_.join();

  // The editor never starts a profile it would refuse, but a profile file can hold anything (an
  // empty destination would join every target onto the root of the file system).
  if (Status problem = ProfileProblem(profile); !problem.ok()) {
    SetIdle();
    return problem;
  }
  const MakeJobResult made = tarnwick::MakeJob(profile, job_, clock_.Now());
  if (!made.status.ok()) {
    SetIdle();
    return made.status;
  }
  state_.store(made.kind == JobKind::Zip ? State::Zip : State::Copy, std::memory_order_release);
  try {
    worker_ = std::thread(&CBackupController::WorkerMain, this, made.kind, profile.name);
  } catch (const std::system_error& e) {
    SetIdle();
    return Status::IoError({}, e.code().value());
  }
  return Status::Ok();
}

CBackupController::StartResult CBackupController::RunNow(const Profile& profile) {
  LogTaskStart(profile.name);
  // The run goes ahead without its stamp; the user is told why the time will not show.
  if (const Status stamped = catalogue_.StampLastRun(profile.name);
      !stamped.ok() && stamped.code() == StatusCode::IoError) {
    prompts_.ShowMessage(stamped.ToString());
  }
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
    MutexLock lock(endMutex_);
    if (!IsBusy()) return false;
    stopRequested_.store(true, std::memory_order_release);
  }
  observer_.OnStatusText(LoadString(IDS_PLEASE_WAIT_STOPPING));
  return true;
}

RunReport CBackupController::LastReport() const {
  MutexLock lock(endMutex_);
  return lastReport_;
}

std::string CBackupController::RunningProfile() const {
  MutexLock lock(endMutex_);
  return runningProfile_;
}

void CBackupController::WaitForJobEnd() {
  MutexLock lock(endMutex_);
  while (IsBusy()) jobEnded_.Wait(endMutex_);
}

bool CBackupController::WaitForJobEnd(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(endMutex_);
  while (IsBusy()) {
    if (!jobEnded_.WaitUntil(endMutex_, deadline)) return !IsBusy();
  }
  return true;
}

void CBackupController::Shutdown() {
  Stop();
  WaitForJobEnd();
  if (worker_.joinable()) worker_.join();
}

namespace {

// The files a job will meet, when it can be told without walking a folder: only when every source
// is a single file. Folders are walked as the job goes, never counted ahead.
long long FilesKnownAhead(const BackupJob& job) {
  long long files = 0;
  for (const SourceItem& item : job.localSources) {
    if (item.kind != ItemKind::LocalFile) return -1;
    ++files;
  }
  for (const FtpSource& source : job.remoteSources) {
    for (const SourceItem& item : source.items) {
      if (item.kind != ItemKind::FtpFile) return -1;
      ++files;
    }
  }
  return files;
}

}  // namespace

void CBackupController::WorkerMain(JobKind kind, std::string profileName) {
  JobContext context{job_, log_, observer_, stopRequested_};
  context.filesInAll = FilesKnownAhead(job_);
  const std::time_t started = clock_.Now();
  JobEnd end{std::move(profileName)};
  // A backup never ends the process: whatever escapes a job ends it here, in order.
  try {
    end.exitCode = kind == JobKind::Zip ? RunZipJob(context) : RunCopyJob(context);
  } catch (const std::exception& e) {
    LogRunFailure(context, FormatString(IDS_WORKER_FAILED, e.what()));
    ClearStatus(context);
    end.exitCode = -1;
  } catch (...) {
    LogRunFailure(context, FormatString(IDS_WORKER_FAILED, "unknown"));
    ClearStatus(context);
    end.exitCode = -1;
  }
  end.stopped = context.StopRequested();
  end.report = MakeRunReport(context.tally, end.profileName, end.exitCode, end.stopped, started, clock_.Now());
  LogRunReport(log_, end.report);
  {
    MutexLock lock(endMutex_);
    lastReport_ = end.report;
  }
  SetIdle();
  observer_.OnJobEnded(end);
}

void CBackupController::SetIdle() {
  {
    MutexLock lock(endMutex_);
    state_.store(State::Idle, std::memory_order_release);
    runningProfile_.clear();
  }
  jobEnded_.NotifyAll();
}

}  // namespace tarnwick
