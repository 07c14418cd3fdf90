#include "engine/SchedulerHost.h"

#include <chrono>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "app/StringTable.h"

namespace tarnwick {
namespace {

// Profiles written by the window, the editor or another process change it, and the host then loads
// its catalogue again.
std::filesystem::file_time_type ProfileFolderStamp() { return ModificationStamp(ProfileFolder()); }

bool SameTimes(const ScheduleRecord& a, const ScheduleRecord& b) {
  return a.nextRun == b.nextRun && a.nextRunValid == b.nextRunValid && a.enabled == b.enabled &&
         a.lastRunStamp == b.lastRunStamp;
}

}  // namespace

std::filesystem::file_time_type ModificationStamp(const std::filesystem::path& path) {
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(path, ec);
  return ec ? std::filesystem::file_time_type::min() : stamp;
}

std::filesystem::file_time_type SettledStamp(const std::filesystem::path& path) {
  const auto stamp = ModificationStamp(path);
  const auto age = std::filesystem::file_time_type::clock::now() - stamp;
  const bool fresh = age >= decltype(age)::zero() && age < std::chrono::milliseconds(100);
  return fresh ? std::filesystem::file_time_type::min() : stamp;
}

CSchedulerHost::CSchedulerHost(JobLauncher& launcher, CActivityLog& log, JobObserver& observer, const Clock& clock,
                               SchedulerEvents& events, std::filesystem::path lockFile, std::string holderText)
    : launcher_(launcher),
      clock_(clock),
      events_(events),
      lockFile_(std::move(lockFile)),
      catalogue_(silent_, clock),
      monitor_(launcher, catalogue_, log, observer),
      lock_(lockFile_, std::move(holderText)) {}

CSchedulerHost::~CSchedulerHost() { StopTicking(); }

void CSchedulerHost::SetRunMissed(bool on) { runMissedRequest_.store(on ? 1 : 0, std::memory_order_release); }

void CSchedulerHost::Tick(std::time_t now) {
  std::lock_guard guard(tickMutex_);
  if (!lock_.Held() && lock_.TryAcquire()) {
    held_.store(true, std::memory_order_release);
    if (const Status& unreachable = lock_.stopError(); !unreachable.ok()) {
      events_.OnSchedulerProblem(FormatString(IDS_STOP_REQUESTS_UNREACHABLE, unreachable.ToString().c_str()));
    }
    // Taken at start or over from another process: its settings and profiles as they are now, and
    // what it launched while this one stood by is not made up for here.
    ReadSettings();
    Reload();
    last_ = now - 1;
  }
  if (settingsStale_.exchange(false, std::memory_order_acq_rel)) ReadSettings();
  if (const int request = runMissedRequest_.exchange(-1, std::memory_order_acq_rel); request >= 0) {
    monitor_.SetRunMissed(request == 1);
  }
  runMissed_.store(monitor_.RunMissed(), std::memory_order_release);
  if (lock_.Held()) {
    if (ProfileFolderStamp() != folderStamp_) Reload();
    RunMonitor(now);
    lock_.SetRunning(launcher_.RunningProfile());
  }
  TellState();
}

void CSchedulerHost::ReadSettings() {
  // A settings file that cannot be read is named; the monitor goes on with what it had.
  if (const Status read = monitor_.ReadRunMissedSetting(); !read.ok()) events_.OnSchedulerProblem(read.ToString());
}

void CSchedulerHost::Reload() {
  folderStamp_ = SettledStamp(ProfileFolder());
  // Profiles that cannot be read are named at each load; the others are still monitored.
  if (const Status loaded = catalogue_.LoadCatalogue(); !loaded.ok()) events_.OnSchedulerProblem(loaded.ToString());
}

void CSchedulerHost::RunMonitor(std::time_t now) {
  const std::vector<ScheduleRecord> before = catalogue_.ScheduleTable();
  std::time_t at = now;
  for (std::time_t t = FirstSecondToTick(last_, now); t <= now; ++t) {
    // A second skipped by a late tick is looked at all the same: a profile due in it is launched,
    // not reported missed. One launch per tick; the next tick goes on from its own second.
    if (monitor_.OnTick(t)) {
      at = t;
      break;
    }
  }
  last_ = now;
  TellChanges(before, at);
}

void CSchedulerHost::TellChanges(const std::vector<ScheduleRecord>& before, std::time_t at) {
  const std::vector<ScheduleRecord>& after = catalogue_.ScheduleTable();
  const std::vector<ProfileRow>& rows = catalogue_.Rows(ProfileList::Scheduled);
  // Looked up by path: every tick compares the whole table, so no search of it per entry.
  std::unordered_map<std::string_view, const ScheduleRecord*> earlier;
  earlier.reserve(before.size());
  for (const ScheduleRecord& old : before) earlier[old.profilePath] = &old;
  bool changed = false;
  for (std::size_t i = 0; i < after.size() && i < rows.size(); ++i) {
    const ScheduleRecord& entry = after[i];
    const auto old = earlier.find(entry.profilePath);
    if (old != earlier.end() && SameTimes(*old->second, entry)) continue;
    changed = true;
    events_.OnScheduleChanged(
        ScheduleChange{entry.profilePath, rows[i], at, entry.nextRun, entry.nextRunValid != 0, entry.enabled});
  }
  // The monitor's own rewrite is no change from outside: the folder is not to be read again for it.
  if (changed) folderStamp_ = SettledStamp(ProfileFolder());
}

void CSchedulerHost::TellState() {
  SchedulerState state;
  state.here = lock_.Held();
  if (state.here) {
    state.scheduled = catalogue_.ScheduleTable().size();
  } else if (!lock_.error().ok()) {
    state.lockError = lock_.error().ToString();
  } else if (const std::optional<CSchedulerLock::Holder> holder = CSchedulerLock::ReadHolder(lockFile_)) {
    state.holder = holder->text;
    state.running = holder->running;
  }
  const bool again = tellStateAgain_.exchange(false, std::memory_order_acq_rel);
  if (toldAny_ && state == told_ && !again) return;
  told_ = state;
  toldAny_ = true;
  events_.OnSchedulerState(state);
}

void CSchedulerHost::StartTicking() {
  {
    std::lock_guard lock(threadMutex_);
    quit_ = false;
  }
  thread_ = std::thread(&CSchedulerHost::ThreadMain, this);
}

void CSchedulerHost::StopTicking() {
  {
    std::lock_guard lock(threadMutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CSchedulerHost::ThreadMain() {
  std::unique_lock lock(threadMutex_);
  for (;;) {
    // Just after the next whole second: a due time is a whole second.
    const auto next = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()) +
                      std::chrono::seconds(1) + std::chrono::milliseconds(5);
    if (wake_.wait_until(lock, next, [this] { return quit_; })) return;
    lock.unlock();
    Tick(clock_.Now());
    lock.lock();
  }
}

}  // namespace tarnwick
