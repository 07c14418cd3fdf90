#include "ui/JobObserverAdapter.h"

namespace tarnwick::ui {

// Queued also when the caller is the window's own thread (Stop's text), so the signals keep the
// order in which the calls were made.
void CJobObserverAdapter::OnStatusText(const std::string& text) {
  QMetaObject::invokeMethod(
      this, [this, t = QString::fromStdString(text)] { Q_EMIT statusText(t); }, Qt::QueuedConnection);
}

void CJobObserverAdapter::OnClearStatus() {
  QMetaObject::invokeMethod(this, [this] { Q_EMIT statusCleared(); }, Qt::QueuedConnection);
}

void CJobObserverAdapter::OnProgress(long long position, long long range) {
  QMetaObject::invokeMethod(
      this, [this, position, range] { Q_EMIT progress(position, range); }, Qt::QueuedConnection);
}

void CJobObserverAdapter::OnResetProgress() {
  QMetaObject::invokeMethod(this, [this] { Q_EMIT progressReset(); }, Qt::QueuedConnection);
}

void CJobObserverAdapter::OnJobEnded(const JobEnd& end) {
  QMetaObject::invokeMethod(
      this,
      [this, name = QString::fromStdString(end.profileName), code = end.exitCode, stopped = end.stopped] {
        Q_EMIT jobEnded(name, code, stopped);
      },
      Qt::QueuedConnection);
}

void CJobObserverAdapter::OnLaunchFailed(const std::string& profileName, const Status& reason) {
  QMetaObject::invokeMethod(
      this,
      [this, name = QString::fromStdString(profileName), why = QString::fromStdString(reason.ToString())] {
        Q_EMIT launchFailed(name, why);
      },
      Qt::QueuedConnection);
}

}  // namespace tarnwick::ui
