#include "ui/JobObserverAdapter.h"

namespace tarnwick::ui {

void CJobObserverAdapter::PostLocked() {
  if (posted_) return;
  posted_ = true;
  // Queued also when the caller is the window's own thread (Stop's text), so the order holds.
  QMetaObject::invokeMethod(this, &CJobObserverAdapter::HandOver, Qt::QueuedConnection);
}

void CJobObserverAdapter::OnStatusText(const std::string& text) {
  MutexLock lock(mutex_);
  status_ = std::optional<QString>(QString::fromStdString(text));
  PostLocked();
}

void CJobObserverAdapter::OnClearStatus() {
  MutexLock lock(mutex_);
  status_ = std::optional<QString>();
  PostLocked();
}

void CJobObserverAdapter::OnProgress(long long position, long long range) {
  MutexLock lock(mutex_);
  progress_ = Progress{position, range, false};
  PostLocked();
}

void CJobObserverAdapter::OnResetProgress() {
  MutexLock lock(mutex_);
  progress_ = Progress{0, 0, true};
  PostLocked();
}

void CJobObserverAdapter::OnRunProgress(const RunProgress& progress) {
  MutexLock lock(mutex_);
  runProgress_ = progress;
  PostLocked();
}

void CJobObserverAdapter::OnJobEnded(const JobEnd& end) {
  MutexLock lock(mutex_);
  events_.push_back({true, QString::fromStdString(end.profileName), end.exitCode, end.stopped, {}, end.report});
  PostLocked();
}

void CJobObserverAdapter::OnLaunchFailed(const std::string& profileName, const Status& reason) {
  MutexLock lock(mutex_);
  events_.push_back(
      {false, QString::fromStdString(profileName), 0, false, QString::fromStdString(reason.ToString()), {}});
  PostLocked();
}

void CJobObserverAdapter::HandOver() {
  std::optional<std::optional<QString>> status;
  std::optional<Progress> latest;
  std::optional<RunProgress> run;
  std::vector<Ended> events;
  {
    MutexLock lock(mutex_);
    posted_ = false;
    status.swap(status_);
    latest.swap(progress_);
    run.swap(runProgress_);
    events.swap(events_);
  }
  if (status) {
    if (*status) {
      Q_EMIT statusText(**status);
    } else {
      Q_EMIT statusCleared();
    }
  }
  if (latest) {
    if (latest->reset) {
      Q_EMIT progressReset();
    } else {
      Q_EMIT progress(latest->position, latest->range);
    }
  }
  if (run) Q_EMIT runProgress(run->filesDone, run->filesInAll, run->bytesWritten);
  for (const Ended& e : events) {
    if (e.isEnd) {
      Q_EMIT jobEnded(e.name, e.exitCode, e.stopped);
      Q_EMIT jobReported(e.report);
    } else {
      Q_EMIT launchFailed(e.name, e.reason);
    }
  }
}

}  // namespace tarnwick::ui
