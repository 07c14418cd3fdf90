// The schedule monitor: once a second it looks for the first enabled scheduled profile that is due
// and launches it, at most one per tick.
#pragma once

#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/JobLauncher.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick {

// A due time is matched to the second, so a tick that came late must not skip a second: a tick at
// `now` after one at `last` looks at every second in between, from the second this returns. After
// a jump of the clock (over a minute forward, or any step back) it looks at `now` alone, and the
// "run missed" setting decides about what was passed over.
std::time_t FirstSecondToTick(std::time_t last, std::time_t now);

class CScheduleMonitor {
 public:
  // A launch that cannot happen is an ERROR row in `log` and a call of `observer`; the monitor never
  // prompts, so a tick never waits for the user. All references must outlive the monitor.
  CScheduleMonitor(JobLauncher& launcher, CProfileCatalogue& catalogue, CActivityLog& log, JobObserver& observer)
      : launcher_(launcher), catalogue_(catalogue), log_(log), observer_(observer) {}

  // Launch runs whose time went by while the program was not running (the "run missed" setting).
  bool RunMissed() const { return runMissed_; }
  void SetRunMissed(bool on) { runMissed_ = on; }
  // Takes runMissed from the settings file (SettingsFilePath(): "config.xml" in the current folder,
  // or in the data folder of an installed program); unchanged when it cannot be read. Ok, also for
  // a missing file (the defaults hold); otherwise why the file could not be read.
  Status ReadRunMissedSetting();

  // One tick at `now`: walks the catalogue's schedule table and launches the first due entry (an
  // entry whose next run is this very second, or already past with runMissed on, that has not run
  // in this minute). With runMissed off, an entry whose time went by is logged and told to the
  // observer's OnRunMissed once per due time, while no job runs, and its profile rewritten with
  // its next run after now. True when an entry was due: its two log rows were
  // written, its launch tried (a running job holds it back, silently) and the catalogue reloaded.
  bool OnTick(std::time_t now);

  // Launches the scheduled profile file at `path` unless a job runs: stamps its last run,
  // switches off a one-time schedule, starts the job and rewrites the file with the next run.
  void LaunchScheduledProfile(const std::string& path, std::time_t now);

  // The name of the profile launched last by the monitor.
  const std::string& CurrentTaskName() const { return currentTaskName_; }

 private:
  void ReportLaunchFailure(const std::string& name, const Status& reason);
  // The profile file at `path` as a scheduled profile of that file.
  static Status ReadScheduledProfile(const std::string& path, std::time_t now, Profile& profile);
  // Logs and tells a missed run and moves the profile's next run past `now`; true when the
  // profile file was read (and its rewrite tried), so the table is to be read again.
  bool ReportMissedRun(const std::string& path, std::time_t due, std::time_t now);

  JobLauncher& launcher_;
  CProfileCatalogue& catalogue_;
  CActivityLog& log_;
  JobObserver& observer_;
  bool runMissed_ = false;
  std::string currentTaskName_;
  std::set<std::pair<std::string, std::time_t>> missedReported_;  // profile file, due time
};

}  // namespace tarnwick
