#include "ui/ScheduleSettingsDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/StringTable.h"
#include "ui/AdvancedScheduleDlg.h"
#include "ui/ScheduleFields.h"
#include "ui/SelectMonthsDlg.h"
#include "ui/TabOrder.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr unsigned kShortWeekdays[7] = {IDS_WEEKDAY_MON, IDS_WEEKDAY_TUE, IDS_WEEKDAY_WED, IDS_WEEKDAY_THU,
                                        IDS_WEEKDAY_FRI, IDS_WEEKDAY_SAT, IDS_WEEKDAY_SUN};

QLabel* Text(unsigned id, QWidget* parent) { return new QLabel(UiString(id), parent); }

// A row of widgets, left-aligned.
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
  auto* row = new QHBoxLayout;
  for (QWidget* widget : widgets) row->addWidget(widget);
  row->addStretch(1);
  return row;
}

}  // namespace

CScheduleSettingsDlg::CScheduleSettingsDlg(const ScheduleRecord& record, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      work_(record),
      type_(new QComboBox(this)),
      startTime_(new QTimeEdit(TimeOfDay(record.startTime), this)),
      pages_(new QStackedWidget(this)),
      enabled_(new QCheckBox(UiString(IDS_SCHEDULE_ENABLED), this)),
      description_(new QLabel(this)) {
  setWindowTitle(UiString(IDS_SCHEDULE_CAPTION));
  for (std::int32_t type : {kScheduleDaily, kScheduleWeekly, kScheduleMonthly, kScheduleOnce}) {
    type_->addItem(QString::fromUtf8(ScheduleTypeName(type)));
  }
  type_->setCurrentIndex(record.type >= kScheduleDaily && record.type <= kScheduleOnce ? record.type : kScheduleDaily);
  startTime_->setDisplayFormat(QStringLiteral("HH:mm"));
  pages_->addWidget(MakeDailyPage());
  pages_->addWidget(MakeWeeklyPage());
  pages_->addWidget(MakeMonthlyPage());
  pages_->addWidget(MakeOncePage());
  pages_->setCurrentIndex(type_->currentIndex());
  enabled_->setChecked(record.enabled);
  description_->setWordWrap(true);
  description_->setFrameShape(QFrame::StyledPanel);
  description_->setMinimumHeight(description_->fontMetrics().lineSpacing() * 3 + 8);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* advanced = new QPushButton(UiString(IDS_SCHEDULE_ADVANCED), this);
  connect(advanced, &QPushButton::clicked, this, &CScheduleSettingsDlg::OnAdvanced);
  auto* taskLabel = Text(IDS_SCHEDULE_TASK, this);
  taskLabel->setBuddy(type_);
  auto* timeLabel = Text(IDS_SCHEDULE_START_TIME, this);
  timeLabel->setBuddy(startTime_);
  auto* top = new QGridLayout;
  top->addWidget(taskLabel, 0, 0);
  top->addWidget(type_, 0, 1);
  top->addWidget(timeLabel, 0, 2);
  top->addWidget(startTime_, 0, 3);
  top->setColumnStretch(4, 1);
  auto* typeGroup = new QGroupBox(this);
  auto* typeLayout = new QVBoxLayout(typeGroup);
  typeLayout->addWidget(pages_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(typeGroup);
  layout->addLayout(Row({advanced, enabled_}));
  layout->addWidget(description_);
  layout->addWidget(buttons);
  setMinimumWidth(460);

  SetTabOrder({advanced, enabled_});
  ConnectChanges();
  Describe();
  opened_ = true;
}

QWidget* CScheduleSettingsDlg::MakeDailyPage() {
  auto* page = new QWidget(this);
  daily_ = NumberSpin(1, 32767, page);
  daily_->setValue(work_.dailyInterval);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(Row({Text(IDS_SCHEDULE_EVERY, page), daily_, Text(IDS_SCHEDULE_DAYS, page)}));
  layout->addStretch(1);
  return page;
}

QWidget* CScheduleSettingsDlg::MakeWeeklyPage() {
  auto* page = new QWidget(this);
  weekly_ = NumberSpin(1, 9999, page);
  weekly_->setValue(work_.weeklyInterval);
  auto* days = new QGridLayout;
  for (int day = 0; day < 7; ++day) {
    weekdays_[day] = new QCheckBox(QString::fromUtf8(LoadString(kShortWeekdays[day])), page);
    weekdays_[day]->setChecked((work_.weekdays >> day) & 1);
    days->addWidget(weekdays_[day], day / 4, day % 4);
  }
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(Row({Text(IDS_SCHEDULE_EVERY, page), weekly_, Text(IDS_SCHEDULE_WEEKS_ON, page)}));
  layout->addLayout(days);
  layout->addStretch(1);
  return page;
}

QWidget* CScheduleSettingsDlg::MakeMonthlyPage() {
  auto* page = new QWidget(this);
  byDay_ = new QRadioButton(UiString(IDS_SCHEDULE_DAY), page);
  byWeekday_ = new QRadioButton(UiString(IDS_SCHEDULE_THE), page);
  auto* group = new QButtonGroup(page);
  group->addButton(byDay_);
  group->addButton(byWeekday_);
  (work_.monthlyByWeekday ? byWeekday_ : byDay_)->setChecked(true);
  dayOfMonth_ = NumberSpin(1, 31, page);
  dayOfMonth_->setValue(work_.dayOfMonth);
  ordinal_ = new QComboBox(page);
  for (int i = 0; i < 5; ++i) ordinal_->addItem(QString::fromUtf8(OrdinalName(i)));
  ordinal_->setCurrentIndex(work_.weekOfMonth >= 0 && work_.weekOfMonth < 5 ? work_.weekOfMonth : 0);
  weekday_ = new QComboBox(page);
  for (int i = 0; i < 7; ++i) weekday_->addItem(QString::fromUtf8(WeekdayName(i)));
  weekday_->setCurrentIndex(work_.dayOfWeek >= 0 && work_.dayOfWeek < 7 ? work_.dayOfWeek : 0);
  auto* months = new QPushButton(UiString(IDS_SCHEDULE_SELECT_MONTHS), page);
  connect(months, &QPushButton::clicked, this, &CScheduleSettingsDlg::OnSelectMonths);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(Row({byDay_, dayOfMonth_}));
  layout->addLayout(Row({byWeekday_, ordinal_, weekday_}));
  layout->addLayout(Row({months}));
  layout->addStretch(1);
  return page;
}

QWidget* CScheduleSettingsDlg::MakeOncePage() {
  auto* page = new QWidget(this);
  onceDate_ = new QDateEdit(DateOf(work_.onceDate), page);
  onceDate_->setCalendarPopup(true);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(Row({Text(IDS_SCHEDULE_RUN_ON, page), onceDate_}));
  layout->addStretch(1);
  return page;
}

void CScheduleSettingsDlg::ConnectChanges() {
  connect(type_, &QComboBox::currentIndexChanged, pages_, &QStackedWidget::setCurrentIndex);
  connect(type_, &QComboBox::currentIndexChanged, this, &CScheduleSettingsDlg::OnChanged);
  connect(startTime_, &QTimeEdit::timeChanged, this, &CScheduleSettingsDlg::OnChanged);
  connect(onceDate_, &QDateEdit::dateChanged, this, &CScheduleSettingsDlg::OnChanged);
  for (QSpinBox* spin : {daily_, weekly_, dayOfMonth_}) {
    connect(spin, &QSpinBox::textChanged, this, &CScheduleSettingsDlg::OnChanged);
  }
  for (QCheckBox* box : weekdays_) connect(box, &QCheckBox::toggled, this, &CScheduleSettingsDlg::OnChanged);
  for (QRadioButton* radio : {byDay_, byWeekday_}) {
    connect(radio, &QRadioButton::toggled, this, &CScheduleSettingsDlg::OnChanged);
  }
  for (QComboBox* combo : {ordinal_, weekday_}) {
    connect(combo, &QComboBox::currentIndexChanged, this, &CScheduleSettingsDlg::OnChanged);
  }
}

void CScheduleSettingsDlg::ReadFields(ScheduleRecord& work) const {
  const int type = type_->currentIndex();
  work.type = type >= kScheduleDaily && type <= kScheduleOnce ? type : kScheduleDaily;
  work.startTime = WithTimeOfDay(work.startTime, startTime_->time());
  work.dailyInterval = TypedNumber(daily_).value_or(0);
  work.weeklyInterval = TypedNumber(weekly_).value_or(0);
  work.weekdays = 0;
  for (int day = 0; day < 7; ++day) {
    if (weekdays_[day]->isChecked()) work.weekdays |= 1 << day;
  }
  work.monthlyByWeekday = byDay_->isChecked() ? 0 : 1;
  work.dayOfMonth = TypedNumber(dayOfMonth_).value_or(0);
  work.weekOfMonth = std::max(0, ordinal_->currentIndex());
  work.dayOfWeek = std::max(0, weekday_->currentIndex());
  work.onceDate = WithDate(work.onceDate, onceDate_->date());
}

void CScheduleSettingsDlg::OnChanged() {
  if (!opened_) return;
  ReadFields(work_);
  Describe();
}

void CScheduleSettingsDlg::Describe() {
  // A weekly schedule that has just lost its last day keeps the sentence it had.
  if (work_.type == kScheduleWeekly && work_.weekdays == 0) return;
  const QTime start = startTime_->time();
  DescribeSchedule(work_, start.hour(), start.minute(), work_.onceDate, sentence_);
  description_->setText(QString::fromStdString(sentence_));
}

QString CScheduleSettingsDlg::Description() const { return description_->text(); }

void CScheduleSettingsDlg::OnSelectMonths() {
  CSelectMonthsDlg dialog(work_.months, prompts_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  work_.months = dialog.Months();
  Describe();
}

void CScheduleSettingsDlg::OnAdvanced() {
  CAdvancedScheduleDlg dialog(work_, prompts_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  dialog.WriteBack(work_);
  Describe();
}

void CScheduleSettingsDlg::accept() {
  ScheduleRecord read = work_;
  ReadFields(read);
  read.enabled = enabled_->isChecked();
  // Counts that were erased, or are 0, become 1.
  read.dailyInterval = TypedCount(daily_);
  read.weeklyInterval = TypedCount(weekly_);
  read.dayOfMonth = TypedCount(dayOfMonth_);
  if (read.type == kScheduleWeekly && read.weekdays == 0) {
    prompts_.ShowMessage(UiString(IDS_SCHEDULE_WEEKLY_INVALID).toStdString());
    return;
  }
  work_ = read;
  QDialog::accept();
}

void CScheduleSettingsDlg::WriteBack(ScheduleRecord& target) const {
  target.type = work_.type;
  target.enabled = work_.enabled;
  target.startTime = work_.startTime;
  target.repeat = work_.repeat;
  target.repeatInterval = work_.repeatInterval;
  target.repeatUnit = work_.repeatUnit;
  target.repeatDuration = work_.repeatDuration;
  target.hasStartDate = work_.hasStartDate;
  target.hasEndDate = work_.hasEndDate;
  if (work_.hasStartDate) target.startDate = work_.startDate;
  if (work_.hasEndDate) target.endDate = work_.endDate;
  switch (work_.type) {
    case kScheduleDaily: target.dailyInterval = work_.dailyInterval; break;
    case kScheduleWeekly:
      target.weeklyInterval = work_.weeklyInterval;
      target.weekdays = work_.weekdays;
      break;
    case kScheduleMonthly:
      target.monthlyByWeekday = work_.monthlyByWeekday;
      target.months = work_.months;
      target.dayOfMonth = work_.dayOfMonth;
      target.weekOfMonth = work_.weekOfMonth;
      target.dayOfWeek = work_.dayOfWeek;
      break;
    default: target.onceDate = work_.onceDate; break;
  }
}

}  // namespace tarnwick::ui
