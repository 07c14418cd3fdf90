// The window's JobObserver. Calls come from the worker (and Stop's text from the window's own
// thread); they are gathered and handed to the window's thread by one queued call per batch, where
// they come out as signals. A job reports its current file and progress for every chunk, far more
// often than a window can show them, so within a batch only the latest status text (or its
// clearing), the latest progress (or its reset) and the latest overall progress of the run are
// told; failed launches and job ends are all told, after them, in the order they came.
#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

#include "app/Mutex.h"
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
  void OnRunProgress(const RunProgress& progress) override;
  void OnJobEnded(const JobEnd& end) override;
  void OnLaunchFailed(const std::string& profileName, const Status& reason) override;

 Q_SIGNALS:
  void statusText(const QString& text);
  void statusCleared();
  void progress(qint64 position, qint64 range);
  void progressReset();
  // The run's files met so far, the files in all (negative: not known ahead) and bytes written.
  void runProgress(qint64 filesDone, qint64 filesInAll, qint64 bytesWritten);
  void jobEnded(const QString& profileName, int exitCode, bool stopped);
  // Right after jobEnded: how the run ended.
  void jobReported(const tarnwick::RunReport& report);
  void launchFailed(const QString& profileName, const QString& reason);

 private:
  struct Progress {
    long long position = 0;
    long long range = 0;
    bool reset = false;
  };
  struct Ended {
    bool isEnd;  // else a failed launch
    QString name;
    int exitCode;
    bool stopped;
    QString reason;
    RunReport report;
  };

  // Posts the hand-over unless one is on its way.
  void PostLocked() REQUIRES(mutex_);
  void HandOver() EXCLUDES(mutex_);

  Mutex mutex_;
  bool posted_ GUARDED_BY(mutex_) = false;
  std::optional<std::optional<QString>> status_ GUARDED_BY(mutex_);  // set: a change; empty inner value: cleared
  std::optional<Progress> progress_ GUARDED_BY(mutex_);
  std::optional<RunProgress> runProgress_ GUARDED_BY(mutex_);
  std::vector<Ended> events_ GUARDED_BY(mutex_);
};

}  // namespace tarnwick::ui
