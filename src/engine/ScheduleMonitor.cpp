#include "engine/ScheduleMonitor.h"

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/StringTable.h"
#include "engine/RunReport.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

namespace {

// The longest gap between two ticks that is still walked second by second.
constexpr std::time_t kMaxCatchUpSeconds = 60;

}  // namespace

std::time_t FirstSecondToTick(std::time_t last, std::time_t now) {
  // A clock set back must not leave the monitor silent until it has caught up with `last` again.
  if (now < last || now - last > kMaxCatchUpSeconds) return now;
  return last + 1;
}

Status CScheduleMonitor::ReadRunMissedSetting() {
  ProgramSettings settings;
  Status read = settings.ReadSettings(SettingsFilePath().string());
  if (read.ok()) runMissed_ = settings.runMissed();
  return read.sysError() == ENOENT ? Status() : read;
}

bool CScheduleMonitor::OnTick(std::time_t now) {
  const std::string minuteKey = FormatMinuteKey(now);
  // The launch reloads the table, so the walk works on its own copy of the entry it launches.
  std::string launchPath;
  std::vector<std::pair<std::string, std::time_t>> missed;
  for (const ScheduleRecord& entry : catalogue_.ScheduleTable()) {
    if (!entry.enabled) continue;
    // A run in progress is not disturbed by the rows; the missed one is told when it ends.
    if (entry.nextRun < now && !runMissed_ && entry.nextRunValid != 0 && !launcher_.IsBusy()) {
      missed.emplace_back(entry.profilePath, entry.nextRun);
    }
    const bool due = entry.nextRun == now || (entry.nextRun < now && runMissed_);
    if (!due || entry.nextRunValid == 0) continue;
    if (entry.lastRunStamp == minuteKey) continue;  // it ran, or was saved, in this minute
    launchPath = entry.profilePath;
    break;
  }
  // Told after the walk: skipping a missed run rewrites its profile, so the table is read again.
  bool rewritten = false;
  for (const auto& [path, due] : missed) rewritten = ReportMissedRun(path, due, now) || rewritten;
  if (launchPath.empty()) {
    // Unreadable profiles are left out of the table; reporting them is for an explicit load.
    if (rewritten) (void)catalogue_.LoadCatalogue();
    return false;
  }

  currentTaskName_ = std::filesystem::path(launchPath).stem().string();
  // The rows come first, also when a running job keeps the launch from happening.
  launcher_.LogTaskStart(currentTaskName_);
  LaunchScheduledProfile(launchPath, now);
  (void)catalogue_.LoadCatalogue();  // as above
  return true;
}

void CScheduleMonitor::LaunchScheduledProfile(const std::string& path, std::time_t now) {
  if (launcher_.IsBusy()) return;
  const std::string name = std::filesystem::path(path).stem().string();
  Profile profile;
  if (const Status read = ReadScheduledProfile(path, now, profile); !read.ok()) {
    ReportLaunchFailure(name, read);
    LogRunReport(log_, RunReport::CouldNotStart(name, now, read.ToString()));
    return;
  }
  // A stamp not written only leaves the Last Run column behind: the rewrite below, whose failure is
  // reported, moves the next run on.
  (void)catalogue_.StampLastRun(profile.name);
  // A one-time schedule switches itself off by its run.
  profile.schedule.enabled = !(profile.schedule.type == kScheduleOnce && profile.schedule.repeat == 0);
  const Status started = launcher_.StartJob(profile);
  if (!started.ok() && started.code() != StatusCode::Busy) {
    ReportLaunchFailure(name, started);
    LogRunReport(log_, RunReport::CouldNotStart(name, now, started.ToString()));
  }
  if (const Status written = WriteProfile(profile, now); !written.ok()) ReportLaunchFailure(name, written);
}

Status CScheduleMonitor::ReadScheduledProfile(const std::string& path, std::time_t now, Profile& profile) {
  Status read = ReadProfile(path, profile, now);
  profile.filePath = path;
  profile.isScheduled = true;
  return read;
}

bool CScheduleMonitor::ReportMissedRun(const std::string& path, std::time_t due, std::time_t now) {
  // One notice per due time, also when the profile below cannot be rewritten.
  if (!missedReported_.emplace(path, due).second) return false;
  const std::string name = std::filesystem::path(path).stem().string();
  std::tm local{};
  localtime_r(&due, &local);
  char dueText[32];
  if (std::strftime(dueText, sizeof dueText, "%Y-%m-%d %H:%M", &local) == 0) dueText[0] = '\0';
  const std::string row = FormatString(IDS_RUN_MISSED_ROW, name.c_str(), dueText);
  // Rows of its own, so the run history's last run is the missed one and not the run before it.
  launcher_.LogTaskStart(name);
  log_.LogActionText(LOG_ERROR, row);
  const RunReport report = RunReport::Missed(name, due, now, row);
  LogRunReport(log_, report);
  observer_.OnRunMissed(report);
  // The missed run is skipped, not the schedule: the profile's next run moves to its next time
  // after now, as a run would move it. Left in the past, it would never come due again.
  Profile profile;
  if (!ReadScheduledProfile(path, now, profile).ok()) return false;
  if (const Status written = WriteProfile(profile, now); !written.ok()) ReportLaunchFailure(name, written);
  return true;
}

void CScheduleMonitor::ReportLaunchFailure(const std::string& name, const Status& reason) {
  log_.LogActionText(LOG_ERROR, reason.ToString());
  observer_.OnLaunchFailed(name, reason);
}

}  // namespace tarnwick
