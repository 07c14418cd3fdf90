// Where a backup worker reports its current file and progress (the status bar of the desktop
// program, the progress line of the CLI), the end of each job, and the scheduled launches that
// could not happen. Called on the worker thread (OnLaunchFailed on the thread that ticks the
// monitor): a front end re-posts the values to its own thread.
#pragma once

#include <string>

#include "app/Status.h"
#include "engine/RunReport.h"

namespace tarnwick {

// How a job ended: the profile it ran and its worker's exit code (0 when it ran to its end or was
// stopped among remote sources, 1 when stopped among local files, negative when the destination or
// the archive could not be opened or the writer failed).
// How it ended is the report's to say (report.outcome); the exit code only names where the worker
// stopped.
struct JobEnd {
  std::string profileName;
  int exitCode = 0;
  bool stopped = false;  // a Stop was asked for while it ran
  RunReport report{};
};

// The overall progress of a run, after each file: files met so far (written, skipped and failed),
// the files in all when known ahead (negative when the walk finds them as it goes) and the bytes
// written.
struct RunProgress {
  long long filesDone = 0;
  long long filesInAll = -1;
  long long bytesWritten = 0;
};

class JobObserver {
 public:
  virtual ~JobObserver() = default;
  virtual void OnStatusText(const std::string& text) = 0;
  virtual void OnClearStatus() = 0;
  virtual void OnProgress(long long position, long long range) = 0;
  virtual void OnResetProgress() = 0;
  // After each file of a run.
  virtual void OnRunProgress(const RunProgress& progress) { (void)progress; }
  // After the job's last row, once the controller takes new jobs again. Must not start a job on
  // the calling thread (re-post it): that thread is the worker that is ending.
  virtual void OnJobEnded(const JobEnd& end) { (void)end; }
  // A scheduled profile due now could not be launched (unreadable file, refused profile); the
  // reason is in the log as well. The monitor never prompts: showing it is the front end's call.
  virtual void OnLaunchFailed(const std::string& profileName, const Status& reason) {
    (void)profileName;
    (void)reason;
  }
  // A scheduled run whose time went by while "run missed" is off: it will not be made up for.
  // The report is RunReport::Missed, its one failure the row the log shows about it. Told once
  // per due time, on the tick's thread.
  virtual void OnRunMissed(const RunReport& report) { (void)report; }
};

}  // namespace tarnwick
