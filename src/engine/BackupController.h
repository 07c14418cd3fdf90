// The one backup job of the program and everything around it: the job record, the busy and stop
// flags, the start of the copy or zip worker and Stop. The desktop program's view and the CLI each
// own one; their scheduler host (SchedulerHost.h) launches scheduled profiles through it.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/Clock.h"
#include "app/Mutex.h"
#include "app/Status.h"
#include "app/UserPrompts.h"
#include "engine/BackupJob.h"
#include "engine/JobLauncher.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"
#include "profiles/Profile.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick {

class CBackupController : public JobLauncher {
 public:
  enum class StartResult {
    Started,  // the worker runs
    Busy,     // another job runs (or is being started); nothing changed
    Refused,  // MakeJob refused the profile (no local destination folder, a path too long); the reason was shown
    Failed,   // the worker thread could not be created
  };

  // `observer` hears the status, progress and end of every job, on the worker thread (and Stop's
  // text on the caller's). All references must outlive the controller.
  CBackupController(CActivityLog& log, JobObserver& observer, UserPrompts& prompts, const Clock& clock,
                    CProfileCatalogue& catalogue);
  // Stops a running job and waits for its worker.
  ~CBackupController() override;
  CBackupController(const CBackupController&) = delete;
  CBackupController& operator=(const CBackupController&) = delete;

  // Fills the job record from `profile` and starts its worker: the zip worker when the profile
  // compresses, else the copy worker. The one-job rule is taken before anything is copied, so two
  // launches can never share the record; a refused launch shows "Sorry, another backup job is
  // still running..." when `reportBusy` is set.
  StartResult MakeJob(const Profile& profile, bool reportBusy = true);

  // MakeJob without any prompt: Busy when another job runs, InvalidArgument with the reason when
  // the profile is refused, IoError when the worker thread could not be created.
  Status StartJob(const Profile& profile) override EXCLUDES(endMutex_);

  // The launch of the editor's "Backup Now" (and of `tarnwick-cli run`): the separator and
  // task-name rows, the last-run stamp in "profiles.ini", then MakeJob.
  StartResult RunNow(const Profile& profile);

  // The separator row and "********** Task Name:  %s **********" ("NONAME" for an empty name).
  void LogTaskStart(const std::string& name) override;

  bool IsBusy() const override { return state_.load(std::memory_order_acquire) != State::Idle; }
  bool CopyWorkerBusy() const { return state_.load(std::memory_order_acquire) == State::Copy; }
  bool ZipWorkerBusy() const { return state_.load(std::memory_order_acquire) == State::Zip; }
  bool StopRequested() const { return stopRequested_.load(std::memory_order_acquire); }
  // The name of the profile whose job runs now (empty for an unsaved one); empty while idle.
  std::string RunningProfile() const override EXCLUDES(endMutex_);

  // The Stop command: asks the running worker to stop and says so in the status text. Returns at
  // once; false (and nothing done) when no job runs.
  bool Stop() EXCLUDES(endMutex_);

  // Blocks until no job runs. With a timeout: false when a job still runs when it expires.
  void WaitForJobEnd() EXCLUDES(endMutex_);
  bool WaitForJobEnd(std::chrono::milliseconds timeout) EXCLUDES(endMutex_);

  // Stops a running job and waits for its worker to end.
  void Shutdown() EXCLUDES(endMutex_);

  // The report of the job that ended last (a default, completed report before any ended). Set
  // before the controller takes new jobs again, so it is there once WaitForJobEnd returns.
  RunReport LastReport() const EXCLUDES(endMutex_);

  // The record of the job started last; read it only while no job runs.
  const BackupJob& Job() const { return job_; }

 private:
  enum class State { Idle, Starting, Copy, Zip };

  void WorkerMain(JobKind kind, std::string profileName);
  void SetIdle() EXCLUDES(endMutex_);

  CActivityLog& log_;
  JobObserver& observer_;
  UserPrompts& prompts_;
  const Clock& clock_;
  CProfileCatalogue& catalogue_;

  BackupJob job_;  // written only by MakeJob while it holds the one-job rule and no worker runs
  std::atomic<State> state_{State::Idle};
  std::atomic<bool> stopRequested_{false};
  std::thread worker_;
  mutable Mutex endMutex_;  // pairs with jobEnded_ for the waits
  std::string runningProfile_ GUARDED_BY(endMutex_);
  RunReport lastReport_ GUARDED_BY(endMutex_);
  CondVar jobEnded_;
};

}  // namespace tarnwick
