// The status bar's progress panes: the current file's bar, 200 pixels wide with its percentage
// text, and beside it the run's overall progress, files and bytes so far.
#pragma once

#include <QLabel>
#include <QProgressBar>

namespace tarnwick::ui {

// What the bar shows for a reported (position, range): the position is clamped into [0, range],
// and both are scaled down together when the range does not fit the bar's int.
struct ProgressValue {
  int value = 0;
  int maximum = 0;
  int percent = 0;
};
ProgressValue ClampProgress(long long position, long long range);

class CProgressPane : public QProgressBar {
  Q_OBJECT
 public:
  static constexpr int kWidth = 200;

  explicit CProgressPane(QWidget* parent = nullptr);

  // Shows `position` of `range`, clamped; a range of 0 or less shows an empty bar.
  void SetProgress(long long position, long long range);
  // Position 0 of range 0: an empty bar without text.
  void ResetProgress();
};

// The run's overall progress as text: "12 file(s), 3.4 MB", with "of 40" when the number of files
// is known ahead. Folders are walked as the run goes, so that number is known only for profiles of
// single files; no percentage is made up without it.
class COverallProgressPane : public QLabel {
  Q_OBJECT
 public:
  explicit COverallProgressPane(QWidget* parent = nullptr);

  // `filesInAll` negative: not known.
  void SetRunProgress(qint64 filesDone, qint64 filesInAll, qint64 bytesWritten);
  void ClearRunProgress();
};

}  // namespace tarnwick::ui
