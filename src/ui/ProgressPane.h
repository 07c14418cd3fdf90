// The status bar's progress pane: 200 pixels wide, a bar with its percentage text.
#pragma once

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

}  // namespace tarnwick::ui
