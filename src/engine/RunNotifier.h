// Notices for a user who is not watching: a run that ended with failures, a run that could not
// start, a scheduled run that was missed. The texts are those of the log; a front end only carries
// them to the desktop (the window through Qt D-Bus, the service through gdbus).
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/JobObserver.h"
#include "log/ActivityLog.h"

namespace tarnwick {

class RunNotifier {
 public:
  virtual ~RunNotifier() = default;
  // `logText` is what the log shows about it (its failure rows, the launch failure, the missed-run row).
  void RunFailed(const std::string& profileName, const std::string& logText);
  void LaunchFailed(const std::string& profileName, const std::string& logText);
  void RunMissed(const std::string& profileName, const std::string& logText);

  // Where a notice that could not be shown is told, as a NOTICE row naming it and the reason; null:
  // nowhere. Whoever sets a log sets null before that log goes (CRunWatch does). Any thread.
  void SetFailureLog(CActivityLog* log);

  // A notice's texts as they go to the notification server, made of names anyone can create (a
  // file in a backed-up folder): UTF-8 with control bytes, C1 controls and bytes that are not UTF-8
  // shown "\xNN" (which also keeps a server from refusing the whole notice). The body is markup for
  // the servers that render it, so "&", "<" and ">" become entities and a name can never be a tag
  // or a link. The summary is plain text by the notification protocol and holds only the
  // profile's name, which the user typed: it is kept on one line and not turned into entities,
  // which servers that keep to the protocol would show as they are.
  static std::string SummaryText(std::string_view text);
  static std::string BodyText(std::string_view text);

 protected:
  // Shows one notice; called on the thread of the event (a worker's, the tick's), so it must not
  // wait long. Both texts are as SummaryText and BodyText make them.
  virtual void Send(const std::string& summary, const std::string& body) = 0;
  // For a notice with `summary` that could not be shown: logs its NOTICE row with `reason`.
  void LogNotShown(const std::string& summary, const std::string& reason);

 private:
  std::mutex logMutex_;  // guards failureLog_, held while a row goes to it
  CActivityLog* failureLog_ = nullptr;
};

// Passes every report on to the front end's observer and tells the notifier of the runs whose
// report deserves a notice (RunReport::DeservesNotice), quoting its first failure rows.
class CRunWatch : public JobObserver {
 public:
  static constexpr std::size_t kRowsInNotice = 3;  // failure rows quoted in one notice

  // `notifier` may be null (nothing is told). A notifier
  // logs the notices it could not show to `log` while it is this watch's, and must outlive the
  // watch or be replaced first (SetNotifier): the watch takes the log from it when it goes.
  CRunWatch(JobObserver& inner, CActivityLog& log, RunNotifier* notifier = nullptr);
  ~CRunWatch() override;
  CRunWatch(const CRunWatch&) = delete;
  CRunWatch& operator=(const CRunWatch&) = delete;

  void SetNotifier(RunNotifier* notifier);

  void OnStatusText(const std::string& text) override { inner_.OnStatusText(text); }
  void OnClearStatus() override { inner_.OnClearStatus(); }
  void OnProgress(long long position, long long range) override { inner_.OnProgress(position, range); }
  void OnResetProgress() override { inner_.OnResetProgress(); }
  void OnRunProgress(const RunProgress& progress) override { inner_.OnRunProgress(progress); }
  void OnJobEnded(const JobEnd& end) override;
  void OnLaunchFailed(const std::string& profileName, const Status& reason) override;
  void OnRunMissed(const RunReport& report) override;

  // The body of the notice of a run: its first failure rows and how many more there were, or its
  // exit code when it has none.
  static std::string NoticeBody(const JobEnd& end);

 private:
  RunNotifier* Notifier();

  JobObserver& inner_;
  CActivityLog& log_;
  std::mutex mutex_;  // guards notifier_
  RunNotifier* notifier_;
};

}  // namespace tarnwick
