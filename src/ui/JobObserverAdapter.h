// The window's JobObserver: every call, from whichever thread, is re-posted to the window's thread
// (a queued call carrying the values) and comes out there as a signal.
#pragma once

#include <QObject>
#include <QString>

#include "engine/JobObserver.h"

namespace tarnwick::ui {

class CJobObserverAdapter : public QObject, public JobObserver {
  Q_OBJECT
 public:
  explicit CJobObserverAdapter(QObject* parent = nullptr) : QObject(parent) {}

  void OnStatusText(const std::string& text) override;
  void OnClearStatus() override;
  void OnProgress(long long position, long long range) override;
  void OnResetProgress() override;
  void OnJobEnded(const JobEnd& end) override;
  void OnLaunchFailed(const std::string& profileName, const Status& reason) override;

 Q_SIGNALS:
  void statusText(const QString& text);
  void statusCleared();
  void progress(qint64 position, qint64 range);
  void progressReset();
  void jobEnded(const QString& profileName, int exitCode, bool stopped);
  void launchFailed(const QString& profileName, const QString& reason);
};

}  // namespace tarnwick::ui
