// The one scheduler of a process, for the window and for `tarnwick-cli monitor` alike: it holds the
// scheduler lock or stands by while another process holds it (taking over when that one ends),
// ticks the schedule monitor over every second since its last tick, launches due profiles through
// the job launcher, reloads its own catalogue after a launch and whenever the profile folder
// changes, says in the lock file which profile runs, and tells its front end what changed through
// SchedulerEvents. All its disk work happens in Tick, on the thread that calls it: after the first
// tick (which a front end runs itself, to know at once who runs the schedules), its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Clock.h"
#include "app/UserPrompts.h"
#include "engine/JobLauncher.h"
#include "engine/JobObserver.h"
#include "engine/ScheduleMonitor.h"
#include "engine/SchedulerLock.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick {

// The modification time of `path`; min() when it cannot be read.
std::filesystem::file_time_type ModificationStamp(const std::filesystem::path& path);
// The same as a proof that nothing changed since: the file system's clock is coarse, and a file
// changed in the same step of it as the time was read keeps that time, so a time that fresh proves
// nothing and comes back as min() (which no later reading equals).
std::filesystem::file_time_type SettledStamp(const std::filesystem::path& path);

// Who runs the schedules, as a front end shows it.
struct SchedulerState {
  bool here = false;          // this host holds the lock and launches
  std::string holder;         // while not here: what the holder wrote of itself (empty until it has)
  std::string running;        // while not here: the profile the holder backs up now; empty between runs
  std::string lockError;      // why the lock file cannot be used (nobody here launches); empty when it can
  std::size_t scheduled = 0;  // while here: the entries of the schedule table at its last load

  friend bool operator==(const SchedulerState&, const SchedulerState&) = default;
};

// A scheduled profile whose times a launch (or a skipped missed run) changed.
struct ScheduleChange {
  std::string profileFile;
  ProfileRow row;           // name and times as the scheduled list shows them
  std::time_t lastRun = 0;  // the second the host launched it (or skipped its missed run) at
  std::time_t nextRun = 0;  // its stored next run; nextRunValid says whether there is one
  bool nextRunValid = false;
  bool enabled = false;  // a one-time schedule switches itself off by its run
};

// What the host tells its front end; called on the thread that ticks the host. A front end with a
// thread of its own re-posts the values.
class SchedulerEvents {
 public:
  virtual ~SchedulerEvents() = default;
  // At the first tick and whenever the state differs from the one told last.
  virtual void OnSchedulerState(const SchedulerState& state) = 0;
  // After the tick that rewrote the profile, once the host's catalogue holds the new times.
  virtual void OnScheduleChanged(const ScheduleChange& change) { (void)change; }
  // A text for people about something the host could not read or make but goes on without: the
  // settings file, profiles left out of a load, the socket for stop requests.
  virtual void OnSchedulerProblem(const std::string& text) { (void)text; }
};

class CSchedulerHost {
 public:
  // The lock file `lockFile` is held under `holderText` (CSchedulerLock). `launcher`, `log`,
  // `observer`, `clock` and `events` must outlive the host; it loads a catalogue of its own.
  CSchedulerHost(JobLauncher& launcher, CActivityLog& log, JobObserver& observer, const Clock& clock,
                 SchedulerEvents& events, std::filesystem::path lockFile, std::string holderText);
  // Ends the ticking thread and lets go of the lock. A running job is the launcher's to stop.
  ~CSchedulerHost();
  CSchedulerHost(const CSchedulerHost&) = delete;
  CSchedulerHost& operator=(const CSchedulerHost&) = delete;

  // While the lock is held, stop requests are answered with `onStop` (CSchedulerLock). Call
  // before the first tick.
  void AnswerStopRequests(CStopService::StopHandler onStop) { lock_.AnswerStopRequests(std::move(onStop)); }

  // One tick at `now`, on the calling thread: takes the lock when it is free (reading the settings
  // and the catalogue afresh), reloads when the profile folder changed, runs the monitor over every
  // second since the last tick (FirstSecondToTick) until one launches, and tells what changed.
  // The first tick after taking the lock looks at `now` alone. Never runs beside another tick.
  void Tick(std::time_t now);
  // Starts the thread that ticks at the clock's time just after every whole second until
  // StopTicking or the host's end. Once only.
  void StartTicking();
  // Ends the ticking thread and waits for it; the lock stays held. Called by tests that tick by
  // hand and by a front end about to end.
  void StopTicking();

  // Whether this host holds the lock, as of its last tick. Any thread.
  bool Held() const { return held_.load(std::memory_order_acquire); }
  // The "run missed" setting the monitor uses, as of the last tick. Any thread.
  bool RunMissed() const { return runMissed_.load(std::memory_order_acquire); }
  // Sets "run missed" from the next tick on. Any thread.
  void SetRunMissed(bool on);
  // Tells the state at the next tick also when it did not change (a front end that cleared what it
  // showed). Any thread.
  void TellStateAgain() { tellStateAgain_.store(true, std::memory_order_release); }
  // Reads the settings file again at the next tick (after Options changed it). Any thread.
  void ReadSettingsAgain() { settingsStale_.store(true, std::memory_order_release); }

 private:
  // Reads the settings and the catalogue; the problems go to the front end.
  void ReadSettings();
  void Reload();
  // Runs the monitor over the seconds since the last tick; tells the entries whose times changed.
  void RunMonitor(std::time_t now);
  void TellChanges(const std::vector<ScheduleRecord>& before, std::time_t at);
  void TellState();
  void ThreadMain();

  // The host never asks anything: the catalogue's questions belong to the editor's operations.
  class SilentPrompts : public UserPrompts {
   public:
    void ShowMessage(const std::string&, const std::string&) override {}
    Answer AskYesNo(const std::string&, bool) override { return Answer::No; }
    bool AskSecret(const std::string&, std::string&) override { return false; }
  };

  JobLauncher& launcher_;
  const Clock& clock_;
  SchedulerEvents& events_;
  const std::filesystem::path lockFile_;
  SilentPrompts silent_;
  CProfileCatalogue catalogue_;
  CScheduleMonitor monitor_;
  CSchedulerLock lock_;

  std::mutex tickMutex_;  // one tick at a time; guards everything below up to the atomics
  std::time_t last_ = 0;  // the second of the last tick while held
  std::filesystem::file_time_type folderStamp_;
  SchedulerState told_;
  bool toldAny_ = false;

  std::atomic<bool> held_{false};
  std::atomic<bool> runMissed_{false};
  std::atomic<int> runMissedRequest_{-1};  // -1 none, else the value for the next tick
  std::atomic<bool> settingsStale_{false};
  std::atomic<bool> tellStateAgain_{false};

  std::mutex threadMutex_;  // guards quit_
  std::condition_variable wake_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace tarnwick
