#include "ui/ProgressPane.h"

#include <algorithm>
#include <limits>

#include "engine/RunReport.h"

namespace tarnwick::ui {

ProgressValue ClampProgress(long long position, long long range) {
  ProgressValue v;
  if (range <= 0) return v;
  position = std::clamp(position, 0LL, range);
  v.percent = static_cast<int>(static_cast<double>(position) * 100.0 / static_cast<double>(range));
  // Sizes of large files pass the int range of the bar: scale both by the same factor.
  long long divisor = 1;
  while (range / divisor > std::numeric_limits<int>::max()) divisor *= 2;
  v.maximum = static_cast<int>(range / divisor);
  v.value = static_cast<int>(position / divisor);
  return v;
}

CProgressPane::CProgressPane(QWidget* parent) : QProgressBar(parent) {
  setFixedWidth(kWidth);
  setTextVisible(false);
  setAlignment(Qt::AlignCenter);
  ResetProgress();
}

void CProgressPane::SetProgress(long long position, long long range) {
  const ProgressValue v = ClampProgress(position, range);
  if (v.maximum == 0) {
    ResetProgress();
    return;
  }
  // A maximum of 0 would turn the bar into a busy indicator; the range is at least 1 here.
  setRange(0, v.maximum);
  setValue(v.value);
  setFormat(QStringLiteral("%1%").arg(v.percent));
  setTextVisible(true);
}

void CProgressPane::ResetProgress() {
  setRange(0, 1);
  setValue(0);
  setTextVisible(false);
}

COverallProgressPane::COverallProgressPane(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void COverallProgressPane::SetRunProgress(qint64 filesDone, qint64 filesInAll, qint64 bytesWritten) {
  setText(QString::fromStdString(OverallProgressText(filesDone, filesInAll, bytesWritten)));
}

void COverallProgressPane::ClearRunProgress() { clear(); }

}  // namespace tarnwick::ui
