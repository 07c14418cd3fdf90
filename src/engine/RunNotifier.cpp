#include "engine/RunNotifier.h"

#include "app/StringTable.h"
#include "app/Utf8Text.h"

namespace tarnwick {

void RunNotifier::RunFailed(const std::string& profileName, const std::string& logText) {
  Send(SummaryText(FormatString(IDS_NOTIFY_RUN_FAILED, profileName.c_str())), BodyText(logText));
}

void RunNotifier::LaunchFailed(const std::string& profileName, const std::string& logText) {
  Send(SummaryText(FormatString(IDS_NOTIFY_LAUNCH_FAILED, profileName.c_str())), BodyText(logText));
}

void RunNotifier::RunMissed(const std::string& profileName, const std::string& logText) {
  Send(SummaryText(FormatString(IDS_NOTIFY_RUN_MISSED, profileName.c_str())), BodyText(logText));
}

void RunNotifier::SetFailureLog(CActivityLog* log) {
  std::lock_guard lock(logMutex_);
  failureLog_ = log;
}

std::string RunNotifier::SummaryText(std::string_view text) { return ReadableUtf8(text, false); }

std::string RunNotifier::BodyText(std::string_view text) {
  std::string out;
  for (const char c : ReadableUtf8(text, true)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

void RunNotifier::LogNotShown(const std::string& summary, const std::string& reason) {
  std::lock_guard lock(logMutex_);
  if (failureLog_ != nullptr) {
    failureLog_->LogActionText(LOG_NOTICE, FormatString(IDS_NOTICE_NOT_SENT, summary.c_str(), reason.c_str()));
  }
}

CRunWatch::CRunWatch(JobObserver& inner, CActivityLog& log, RunNotifier* notifier)
    : inner_(inner), log_(log), notifier_(notifier) {
  log_.AddListener(this);
  if (notifier != nullptr) notifier->SetFailureLog(&log_);
}

CRunWatch::~CRunWatch() {
  SetNotifier(nullptr);
  log_.RemoveListener(this);
}

void CRunWatch::SetNotifier(RunNotifier* notifier) {
  RunNotifier* previous = nullptr;
  {
    std::lock_guard lock(mutex_);
    previous = notifier_;
    notifier_ = notifier;
  }
  // Outside mutex_: a notifier logs its NOTICE rows under its own lock, and this watch hears them.
  if (previous != nullptr && previous != notifier) previous->SetFailureLog(nullptr);
  if (notifier != nullptr) notifier->SetFailureLog(&log_);
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
