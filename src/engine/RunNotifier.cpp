#include "engine/RunNotifier.h"

#include <algorithm>

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
  if (notifier != nullptr) notifier->SetFailureLog(&log_);
}

CRunWatch::~CRunWatch() { SetNotifier(nullptr); }

void CRunWatch::SetNotifier(RunNotifier* notifier) {
  RunNotifier* previous = nullptr;
  {
    std::lock_guard lock(mutex_);
    previous = notifier_;
    notifier_ = notifier;
  }
  // Outside mutex_: a notifier logs its NOTICE rows under its own lock.
  if (previous != nullptr && previous != notifier) previous->SetFailureLog(nullptr);
  if (notifier != nullptr) notifier->SetFailureLog(&log_);
}

RunNotifier* CRunWatch::Notifier() {
  std::lock_guard lock(mutex_);
  return notifier_;
}

std::string CRunWatch::NoticeBody(const JobEnd& end) {
  const RunReport& report = end.report;
  std::string body;
  for (std::size_t i = 0; i < report.failures.size() && i < kRowsInNotice; ++i) {
    body += (i > 0 ? "\n" : "") + report.failures[i];
  }
  const long long quoted = static_cast<long long>(std::min(report.failures.size(), kRowsInNotice));
  if (report.failureRows > quoted) {
    body += "\n" + FormatString(IDS_NOTIFY_MORE_ROWS, static_cast<int>(report.failureRows - quoted));
  }
  if (body.empty()) body = FormatString(IDS_NOTIFY_EXIT_CODE, end.exitCode);
  return body;
}

void CRunWatch::OnJobEnded(const JobEnd& end) {
  RunNotifier* notifier = Notifier();
  if (notifier != nullptr && end.report.DeservesNotice()) notifier->RunFailed(end.profileName, NoticeBody(end));
  inner_.OnJobEnded(end);
}

void CRunWatch::OnLaunchFailed(const std::string& profileName, const Status& reason) {
  if (RunNotifier* notifier = Notifier()) notifier->LaunchFailed(profileName, reason.ToString());
  inner_.OnLaunchFailed(profileName, reason);
}

void CRunWatch::OnRunMissed(const RunReport& report) {
  if (RunNotifier* notifier = Notifier()) {
    notifier->RunMissed(report.profileName, report.failures.empty() ? std::string() : report.failures.front());
  }
  inner_.OnRunMissed(report);
}

}  // namespace tarnwick
