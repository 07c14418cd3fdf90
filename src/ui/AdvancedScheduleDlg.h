// "Advanced Schedule Options": the start and end dates of a schedule and its repeat window.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "app/UserPrompts.h"
#include "schedule/ScheduleRecord.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

namespace tarnwick::ui {

class CAdvancedScheduleDlg : public QDialog {
  Q_OBJECT
 public:
  // Shows the dates and repeat fields of `work`, the schedule page's working copy. For a Once
  // schedule only the repeat controls are offered.
  CAdvancedScheduleDlg(const ScheduleRecord& work, UserPrompts& prompts, QWidget* parent = nullptr);

  // Checks the dates and the repeat window; a refusal says why and keeps the dialog open.
  void accept() override;
  // After OK: the start date (always applied unless Once), the end date and the repeat fields.
  // With repeat off, the interval, unit and duration keep their earlier values.
  void WriteBack(ScheduleRecord& work) const;

  QDateEdit* StartDateEdit() const { return startDate_; }
  QCheckBox* EndDateBox() const { return hasEnd_; }
  QDateEdit* EndDateEdit() const { return endDate_; }
  QCheckBox* RepeatBox() const { return repeat_; }
  QSpinBox* IntervalSpin() const { return interval_; }
  QComboBox* UnitCombo() const { return unit_; }
  QRadioButton* UntilTimeRadio() const { return untilTime_; }
  QTimeEdit* UntilTimeEdit() const { return until_; }
  QRadioButton* DurationRadio() const { return byDuration_; }
  QSpinBox* HoursSpin() const { return hours_; }
  QSpinBox* MinutesSpin() const { return minutes_; }

 private:
  void UpdateEnabling();
  // The window's length in minutes, or nothing when the interval or duration cannot be used.
  std::optional<std::int32_t> RepeatDuration() const;

  UserPrompts& prompts_;
  const bool once_;
  const std::time_t startTime_;
  QDateEdit* startDate_;
  QCheckBox* hasEnd_;
  QDateEdit* endDate_;
  QCheckBox* repeat_;
  QSpinBox* interval_;
  QComboBox* unit_;
  QRadioButton* untilTime_;
  QTimeEdit* until_;
  QRadioButton* byDuration_;
  QSpinBox* hours_;
  QSpinBox* minutes_;
};

}  // namespace tarnwick::ui
