#include "engine/RunNotifier.h"

#include "app/StringTable.h"

namespace tarnwick {

void RunNotifier::RunFailed(const std::string& profileName, const std::string& logText) {
  Send(FormatString(IDS_NOTIFY_RUN_FAILED, profileName.c_str()), logText);
}

void RunNotifier::LaunchFailed(const std::string& profileName, const std::string& logText) {
  Send(FormatString(IDS_NOTIFY_LAUNCH_FAILED, profileName.c_str()), logText);
}

void RunNotifier::RunMissed(const std::string& profileName, const std::string& logText) {
  Send(FormatString(IDS_NOTIFY_RUN_MISSED, profileName.c_str()), logText);
}

CRunWatch::CRunWatch(JobObserver& inner, CActivityLog& log, RunNotifier* notifier)
    : inner_(inner), log_(log), notifier_(notifier) {
  log_.AddListener(this);
}

CRunWatch::~CRunWatch() { log_.RemoveListener(this); }

void CRunWatch::SetNotifier(RunNotifier* notifier) {
  std::lock_guard lock(mutex_);
  notifier_ = notifier;
}

void CRunWatch::OnRowInserted(std::size_t, const LogRow& row) {
  std::lock_guard lock(mutex_);
  outcome_.Note(row);
  // Note() knows which keywords are failures.
  RunOutcome single;
  single.Note(row);
  if (single.failed) failures_.push_back(row[2]);
}

RunNotifier* CRunWatch::TakeRun(RunOutcome* outcome, std::vector<std::string>* failures) {
  std::lock_guard lock(mutex_);
  if (outcome != nullptr) *outcome = outcome_;
  if (failures != nullptr) failures->swap(failures_);
  outcome_ = {};
  failures_.clear();
  return notifier_;
}

void CRunWatch::OnJobEnded(const JobEnd& end) {
  RunOutcome outcome;
  std::vector<std::string> failures;
  RunNotifier* notifier = TakeRun(&outcome, &failures);
  const bool failed = outcome.failed || (end.exitCode != 0 && !end.stopped);
  if (notifier != nullptr && failed) {
    std::string body;
    for (std::size_t i = 0; i < failures.size() && i < kRowsInNotice; ++i) body += (i > 0 ? "\n" : "") + failures[i];
    if (failures.size() > kRowsInNotice) {
      body += "\n" + FormatString(IDS_NOTIFY_MORE_ROWS, static_cast<int>(failures.size() - kRowsInNotice));
    }
    if (body.empty()) body = FormatString(IDS_NOTIFY_EXIT_CODE, end.exitCode);
    notifier->RunFailed(end.profileName, body);
  }
  inner_.OnJobEnded(end);
}

void CRunWatch::OnLaunchFailed(const std::string& profileName, const Status& reason) {
  // The failure's own row is not a run's: the next run starts clean.
  if (RunNotifier* notifier = TakeRun(nullptr, nullptr)) notifier->LaunchFailed(profileName, reason.ToString());
  inner_.OnLaunchFailed(profileName, reason);
}

void CRunWatch::OnRunMissed(const std::string& profileName, const std::string& logText) {
  if (RunNotifier* notifier = TakeRun(nullptr, nullptr)) notifier->RunMissed(profileName, logText);
  inner_.OnRunMissed(profileName, logText);
}

}  // namespace tarnwick
