#include "ui/AdvancedScheduleDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/StringTable.h"
#include "ui/ScheduleFields.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr int kHoursUnit = 1;  // the unit list's "hour(s)"

int MinuteOfDay(QTime time) { return time.hour() * 60 + time.minute(); }

}  // namespace

CAdvancedScheduleDlg::CAdvancedScheduleDlg(const ScheduleRecord& work, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      once_(work.type == kScheduleOnce),
      startTime_(work.startTime),
      startDate_(new QDateEdit(DateOf(work.startDate), this)),
      hasEnd_(new QCheckBox(UiString(IDS_ADVANCED_END_DATE), this)),
      endDate_(new QDateEdit(DateOf(work.endDate), this)),
      repeat_(new QCheckBox(UiString(IDS_ADVANCED_REPEAT), this)),
      interval_(NumberSpin(1, 9999, this)),
      unit_(new QComboBox(this)),
      untilTime_(new QRadioButton(UiString(IDS_ADVANCED_TIME), this)),
      until_(new QTimeEdit(this)),
      byDuration_(new QRadioButton(UiString(IDS_ADVANCED_DURATION), this)),
      hours_(NumberSpin(0, 9999, this)),
      minutes_(NumberSpin(0, 9999, this)) {
  setWindowTitle(UiString(IDS_ADVANCED_CAPTION));
  for (QDateEdit* date : {startDate_, endDate_}) date->setCalendarPopup(true);
  until_->setDisplayFormat(QStringLiteral("HH:mm"));
  unit_->addItem(QString::fromUtf8(LoadString(IDS_UNIT_MINUTES)));
  unit_->addItem(QString::fromUtf8(LoadString(IDS_UNIT_HOURS)));

  hasEnd_->setChecked(work.hasEndDate != 0);
  repeat_->setChecked(work.repeat != 0);
  interval_->setValue(work.repeatInterval);
  unit_->setCurrentIndex(work.repeatUnit == kHoursUnit ? 1 : 0);
  byDuration_->setChecked(true);
  hours_->setValue(work.repeatDuration / 60);
  minutes_->setValue(work.repeatDuration % 60);
  until_->setTime(TimeOfDay(work.startTime).addSecs(60 * (work.repeatDuration % kMinutesPerDay)));
  auto* untilGroup = new QButtonGroup(this);
  untilGroup->addButton(untilTime_);
  untilGroup->addButton(byDuration_);

  auto* dates = new QGridLayout;
  dates->addWidget(new QLabel(UiString(IDS_ADVANCED_START_DATE), this), 0, 0);
  dates->addWidget(startDate_, 0, 1);
  dates->addWidget(hasEnd_, 1, 0);
  dates->addWidget(endDate_, 1, 1);
  dates->setColumnStretch(2, 1);

  auto* repeatGroup = new QGroupBox(this);
  auto* grid = new QGridLayout(repeatGroup);
  grid->addWidget(repeat_, 0, 0, 1, 4);
  auto* everyLabel = new QLabel(UiString(IDS_ADVANCED_EVERY), this);
  everyLabel->setBuddy(interval_);
  grid->addWidget(everyLabel, 1, 0);
  grid->addWidget(interval_, 1, 1);
  grid->addWidget(unit_, 1, 2, 1, 2);
  grid->addWidget(new QLabel(UiString(IDS_ADVANCED_UNTIL), this), 2, 0);
  grid->addWidget(untilTime_, 2, 1);
  grid->addWidget(until_, 2, 2, 1, 2);
  grid->addWidget(byDuration_, 3, 1);
  grid->addWidget(hours_, 3, 2);
  grid->addWidget(new QLabel(UiString(IDS_ADVANCED_HOURS), this), 3, 3);
  grid->addWidget(minutes_, 4, 2);
  grid->addWidget(new QLabel(UiString(IDS_ADVANCED_MINUTES), this), 4, 3);
  grid->setColumnStretch(4, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(dates);
  layout->addWidget(repeatGroup);
  layout->addWidget(buttons);

  for (QAbstractButton* box : {static_cast<QAbstractButton*>(hasEnd_), static_cast<QAbstractButton*>(repeat_),
                               static_cast<QAbstractButton*>(untilTime_), static_cast<QAbstractButton*>(byDuration_)}) {
    connect(box, &QAbstractButton::toggled, this, &CAdvancedScheduleDlg::UpdateEnabling);
  }
  UpdateEnabling();
}

void CAdvancedScheduleDlg::UpdateEnabling() {
  startDate_->setEnabled(!once_);
  hasEnd_->setEnabled(!once_);
  endDate_->setEnabled(!once_ && hasEnd_->isChecked());
  const bool repeat = repeat_->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{interval_, unit_, untilTime_, byDuration_}) {
    control->setEnabled(repeat);
  }
  until_->setEnabled(repeat && untilTime_->isChecked());
  hours_->setEnabled(repeat && byDuration_->isChecked());
  minutes_->setEnabled(repeat && byDuration_->isChecked());
}

std::optional<std::int32_t> CAdvancedScheduleDlg::RepeatDuration() const {
  const int interval = TypedNumber(interval_).value_or(0);
  if (interval <= 0) return std::nullopt;
  int duration = 0;
  if (untilTime_->isChecked()) {
    const int start = MinuteOfDay(TimeOfDay(startTime_));
    const int end = MinuteOfDay(until_->time());
    // An end that is not after the start lies on the next day.
    duration = end > start ? end - start : end - start + kMinutesPerDay;
  } else {
    const std::optional<int> hours = TypedNumber(hours_), minutes = TypedNumber(minutes_);
    if (!hours || !minutes || (*hours == 0 && *minutes == 0)) return std::nullopt;
    duration = *hours * 60 + *minutes;
  }
  const int step = unit_->currentIndex() == kHoursUnit ? interval * 60 : interval;
  if (step >= duration) return std::nullopt;
  return duration;
}

void CAdvancedScheduleDlg::accept() {
  if (!once_ && hasEnd_->isChecked() && endDate_->date() < startDate_->date()) {
    prompts_.ShowMessage(UiString(IDS_ADVANCED_END_BEFORE_START).toStdString());
    return;
  }
  if (repeat_->isChecked() && !RepeatDuration()) {
    prompts_.ShowMessage(UiString(IDS_ADVANCED_DURATION_TOO_SHORT).toStdString());
    return;
  }
  QDialog::accept();
}

void CAdvancedScheduleDlg::WriteBack(ScheduleRecord& work) const {
  if (!once_) {
    work.hasStartDate = 1;
    work.startDate = WithDate(work.startDate, startDate_->date());
    work.hasEndDate = hasEnd_->isChecked() ? 1 : 0;
    if (work.hasEndDate) work.endDate = WithDate(work.endDate, endDate_->date());
  }
  work.repeat = repeat_->isChecked() ? 1 : 0;
  if (const std::optional<std::int32_t> duration = RepeatDuration(); work.repeat && duration) {
    work.repeatInterval = TypedNumber(interval_).value_or(0);
    work.repeatUnit = unit_->currentIndex() == kHoursUnit ? 1 : 0;
    work.repeatDuration = *duration;
  }
}

}  // namespace tarnwick::ui
