// "Schedule Settings...": the type of a schedule, its start time, the fields of its type, whether it
// is enabled, and a sentence that says what it does, rebuilt as the fields change. Works on a copy
// of the editor's record; WriteBack hands the result over field by field.
#pragma once

#include <QDialog>
#include <string>

#include "app/UserPrompts.h"
#include "schedule/ScheduleRecord.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;

namespace tarnwick::ui {

class CScheduleSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  CScheduleSettingsDlg(const ScheduleRecord& record, UserPrompts& prompts, QWidget* parent = nullptr);

  // Reads the fields by type; a weekly schedule without a day is refused and the dialog stays open.
  void accept() override;
  // After OK: type, enabled, start time and the advanced fields always (the start and end dates
  // only when they apply), and only the fields of the chosen type.
  void WriteBack(ScheduleRecord& target) const;

  // The working copy, as the fields have set it so far.
  const ScheduleRecord& Work() const { return work_; }
  QString Description() const;

  // "Select Months" and "Advanced Schedule Options"; their OK updates the copy and the sentence.
  void OnSelectMonths();
  void OnAdvanced();

  QComboBox* TypeCombo() const { return type_; }
  QTimeEdit* StartTimeEdit() const { return startTime_; }
  QSpinBox* DailySpin() const { return daily_; }
  QSpinBox* WeeklySpin() const { return weekly_; }
  QCheckBox* WeekdayBox(int day) const { return weekdays_[day]; }  // 0 Monday ... 6 Sunday
  QRadioButton* ByDayRadio() const { return byDay_; }
  QSpinBox* DayOfMonthSpin() const { return dayOfMonth_; }
  QRadioButton* ByWeekdayRadio() const { return byWeekday_; }
  QComboBox* OrdinalCombo() const { return ordinal_; }
  QComboBox* WeekdayCombo() const { return weekday_; }
  QDateEdit* OnceDateEdit() const { return onceDate_; }
  QCheckBox* EnabledBox() const { return enabled_; }
  QStackedWidget* TypePages() const { return pages_; }

 private:
  QWidget* MakeDailyPage();
  QWidget* MakeWeeklyPage();
  QWidget* MakeMonthlyPage();
  QWidget* MakeOncePage();
  void ConnectChanges();
  // A field changed: the copy takes it and the sentence is built again.
  void OnChanged();
  void ReadFields(ScheduleRecord& work) const;
  void Describe();

  UserPrompts& prompts_;
  ScheduleRecord work_;
  std::string sentence_;
  bool opened_ = false;  // changes count only once the dialog has been filled
  QComboBox* type_;
  QTimeEdit* startTime_;
  QStackedWidget* pages_;
  QSpinBox* daily_ = nullptr;
  QSpinBox* weekly_ = nullptr;
  QCheckBox* weekdays_[7] = {};
  QRadioButton* byDay_ = nullptr;
  QSpinBox* dayOfMonth_ = nullptr;
  QRadioButton* byWeekday_ = nullptr;
  QComboBox* ordinal_ = nullptr;
  QComboBox* weekday_ = nullptr;
  QDateEdit* onceDate_ = nullptr;
  QCheckBox* enabled_;
  QLabel* description_;
};

}  // namespace tarnwick::ui
