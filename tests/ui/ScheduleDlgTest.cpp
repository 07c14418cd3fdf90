// The schedule pages: what each accepts and refuses, and what reaches the editor's record.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "ui/AdvancedScheduleDlg.h"
#include "ui/ScheduleFields.h"
#include "ui/ScheduleSettingsDlg.h"
#include "ui/SelectMonthsDlg.h"

namespace tarnwick::ui::test {
namespace {

void Type(QSpinBox* spin, const QString& text) { spin->findChild<QLineEdit*>()->setText(text); }

ScheduleRecord Record(std::int32_t type) {
  ScheduleRecord record;
  ResetSchedule(record, MakeLocalTime(2024, 3, 4, 9, 0));
  record.type = type;
  record.startTime = MakeLocalTime(2024, 3, 4, 10, 0);
  return record;
}

constexpr const char* kWeeklyInvalid = "Invalid weekly task.Ensure one or more days are checked.";
constexpr const char* kDurationShort = "The duration must be greater than repetition interval.";
constexpr const char* kEndBeforeStart = "The end date must be later than the start date.";

struct SettingsCase {
  const char* name;
  std::int32_t type;
  std::function<void(CScheduleSettingsDlg&)> edit;
  const char* refusal;  // empty: accepted
  std::function<void(const ScheduleRecord&)> expect;
};

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class ScheduleSettingsOk : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ScheduleSettingsOk, AcceptsOrRefuses) {
  const SettingsCase& c = GetParam();
  RecordingPrompts prompts;
  CScheduleSettingsDlg dialog(Record(c.type), prompts);
  c.edit(dialog);
  dialog.accept();
  if (*c.refusal != 0) {
    EXPECT_EQ(prompts.messages, std::vector<std::string>{c.refusal});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    return;
  }
  EXPECT_TRUE(prompts.messages.empty());
  ASSERT_EQ(dialog.result(), QDialog::Accepted);
  ScheduleRecord written = Record(c.type);
  dialog.WriteBack(written);
  c.expect(written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScheduleSettingsOk,
    ::testing::Values(SettingsCase{"weeklyWithoutDays",
                                   kScheduleWeekly,
                                   [](auto& d) {
                                     for (int i = 0; i < 7; ++i) d.WeekdayBox(i)->setChecked(false);
                                   },
                                   kWeeklyInvalid,
                                   {}},
                      SettingsCase{"dailyCountErased", kScheduleDaily, [](auto& d) { Type(d.DailySpin(), ""); }, "",
                                   [](const ScheduleRecord& r) { EXPECT_EQ(r.dailyInterval, 1); }},
                      SettingsCase{"dailyCountZero", kScheduleDaily, [](auto& d) { Type(d.DailySpin(), "0"); }, "",
                                   [](const ScheduleRecord& r) { EXPECT_EQ(r.dailyInterval, 1); }},
                      SettingsCase{"dailyEveryThreeDaysEnabled", kScheduleDaily,
                                   [](auto& d) {
                                     d.DailySpin()->setValue(3);
                                     d.EnabledBox()->setChecked(true);
                                     d.StartTimeEdit()->setTime(QTime(23, 45));
                                   },
                                   "",
                                   [](const ScheduleRecord& r) {
                                     EXPECT_EQ(r.dailyInterval, 3);
                                     EXPECT_TRUE(r.enabled);
                                     EXPECT_EQ(TimeOfDay(r.startTime), QTime(23, 45));
                                   }},
                      SettingsCase{"weeklyMondayAndFridayEveryWeekErased", kScheduleWeekly,
                                   [](auto& d) {
                                     for (int i = 0; i < 7; ++i) d.WeekdayBox(i)->setChecked(i == 0 || i == 4);
                                     Type(d.WeeklySpin(), "");
                                   },
                                   "",
                                   [](const ScheduleRecord& r) {
                                     EXPECT_EQ(r.weekdays, 0b10001);
                                     EXPECT_EQ(r.weeklyInterval, 1);
                                   }},
                      SettingsCase{"monthlyByDayErased", kScheduleMonthly,
                                   [](auto& d) {
                                     d.ByDayRadio()->setChecked(true);
                                     Type(d.DayOfMonthSpin(), "");
                                   },
                                   "",
                                   [](const ScheduleRecord& r) {
                                     EXPECT_EQ(r.monthlyByWeekday, 0);
                                     EXPECT_EQ(r.dayOfMonth, 1);
                                   }},
                      SettingsCase{"monthlyLastSunday", kScheduleMonthly,
                                   [](auto& d) {
                                     d.ByWeekdayRadio()->setChecked(true);
                                     d.OrdinalCombo()->setCurrentIndex(4);
                                     d.WeekdayCombo()->setCurrentIndex(6);
                                   },
                                   "",
                                   [](const ScheduleRecord& r) {
                                     EXPECT_EQ(r.monthlyByWeekday, 1);
                                     EXPECT_EQ(r.weekOfMonth, 4);
                                     EXPECT_EQ(r.dayOfWeek, 6);
                                   }},
                      SettingsCase{"onceOnADate", kScheduleOnce,
                                   [](auto& d) { d.OnceDateEdit()->setDate(QDate(2031, 7, 9)); }, "",
                                   [](const ScheduleRecord& r) {
                                     EXPECT_EQ(r.type, kScheduleOnce);
                                     EXPECT_EQ(DateOf(r.onceDate), QDate(2031, 7, 9));
                                   }}),
    CaseName());

TEST(ScheduleSettings, OnlyTheChosenTypesFieldsAreWrittenBack) {
  RecordingPrompts prompts;
  ScheduleRecord editor = Record(kScheduleMonthly);
  editor.dayOfMonth = 17;
  editor.weekdays = 0b100;
  editor.hasEndDate = 0;
  editor.endDate = MakeLocalTime(2020, 1, 1);
  CScheduleSettingsDlg dialog(editor, prompts);
  dialog.DayOfMonthSpin()->setValue(5);  // monthly field typed, then the type changed
  dialog.TypeCombo()->setCurrentIndex(kScheduleDaily);
  EXPECT_EQ(dialog.TypePages()->currentIndex(), kScheduleDaily);  // one group at a time
  dialog.DailySpin()->setValue(2);
  dialog.accept();
  ASSERT_EQ(dialog.result(), QDialog::Accepted);
  dialog.WriteBack(editor);
  EXPECT_EQ(editor.type, kScheduleDaily);
  EXPECT_EQ(editor.dailyInterval, 2);
  EXPECT_EQ(editor.dayOfMonth, 17);  // other types keep their values
  EXPECT_EQ(editor.weekdays, 0b100);
  EXPECT_EQ(editor.endDate, MakeLocalTime(2020, 1, 1));  // no end date: not written
}

TEST(ScheduleSettings, SentenceFollowsTheFieldsButNotAWeekWithoutDays) {
  RecordingPrompts prompts;
  ScheduleRecord record = Record(kScheduleWeekly);
  record.weekdays = 1;  // Monday
  CScheduleSettingsDlg dialog(record, prompts);
  const QString opened = dialog.Description();
  EXPECT_TRUE(opened.startsWith("At 10:00 every Mon of every week")) << opened.toStdString();
  dialog.WeekdayBox(2)->setChecked(true);
  EXPECT_TRUE(dialog.Description().startsWith("At 10:00 every Mon, Wed of every week"));
  dialog.WeekdayBox(0)->setChecked(false);
  dialog.WeekdayBox(2)->setChecked(false);  // the last day cleared: the copy changes, the sentence stays
  EXPECT_EQ(dialog.Work().weekdays, 0);
  EXPECT_TRUE(dialog.Description().startsWith("At 10:00 every Wed of every week"));
  dialog.TypeCombo()->setCurrentIndex(kScheduleDaily);
  dialog.StartTimeEdit()->setTime(QTime(7, 5));
  EXPECT_TRUE(dialog.Description().startsWith("At 07:05 every day")) << dialog.Description().toStdString();
}

TEST(ScheduleSettings, SelectMonthsRefusesNoMonthAndUpdatesTheCopy) {
  RecordingPrompts prompts;
  CScheduleSettingsDlg dialog(Record(kScheduleMonthly), prompts);
  WhenModal<CSelectMonthsDlg>([&](CSelectMonthsDlg& months) {
    for (int m = 0; m < 12; ++m) months.MonthBox(m)->setChecked(false);
    months.accept();
    EXPECT_EQ(prompts.messages,
              std::vector<std::string>{"Invalid monthly task.Ensure one or more months are checked."});
    EXPECT_TRUE(months.isVisible());
    months.MonthBox(0)->setChecked(true);
    months.MonthBox(11)->setChecked(true);
    months.accept();
  });
  dialog.OnSelectMonths();
  EXPECT_EQ(dialog.Work().months, 0x801);
  EXPECT_TRUE(dialog.Description().contains(" of January, December")) << dialog.Description().toStdString();
}

// A number erased by keys stays erased when the focus leaves it, and Enter brings it to OK's own
// rule: a count of the schedule page takes 1, an erased repeat of the advanced page is refused.
struct ErasedCase {
  const char* name;
  std::int32_t type;
  bool advanced;
  std::function<QSpinBox*(QDialog&)> field;
  const char* refusal;                                // empty: accepted
  std::function<int(const ScheduleRecord&)> written;  // the field's value after OK
};

void PrintTo(const ErasedCase& c, std::ostream* os) { *os << c.name; }

class ErasedNumber : public ::testing::TestWithParam<ErasedCase> {};

CScheduleSettingsDlg& Settings(QDialog& d) { return static_cast<CScheduleSettingsDlg&>(d); }
CAdvancedScheduleDlg& Advanced(QDialog& d) { return static_cast<CAdvancedScheduleDlg&>(d); }

TEST_P(ErasedNumber, KeepsNoOldValueOnFocusOutOrEnter) {
  const ErasedCase& c = GetParam();
  RecordingPrompts prompts;
  ScheduleRecord record = Record(c.type);
  record.dailyInterval = record.weeklyInterval = record.dayOfMonth = 3;
  record.repeat = 1;
  record.repeatInterval = 3;
  record.repeatDuration = 180;
  std::unique_ptr<QDialog> dialog;
  if (c.advanced) {
    dialog = std::make_unique<CAdvancedScheduleDlg>(record, prompts);
  } else {
    dialog = std::make_unique<CScheduleSettingsDlg>(record, prompts);
  }
  dialog->show();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  QSpinBox* spin = c.field(*dialog);
  spin->setFocus();
  spin->selectAll();
  QTest::keyClick(spin, Qt::Key_Backspace);
  ASSERT_EQ(spin->text(), "");
  QTest::keyClick(spin, Qt::Key_Tab);
  ASSERT_FALSE(spin->hasFocus());
  EXPECT_EQ(spin->text(), "") << "the old number came back when the focus left";
  spin->setFocus();
  QTest::keyClick(spin, Qt::Key_Return);
  if (*c.refusal != 0) {
    EXPECT_EQ(prompts.messages, std::vector<std::string>{c.refusal});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(spin->text(), "");
    return;
  }
  EXPECT_TRUE(prompts.messages.empty());
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  ScheduleRecord written = record;
  Settings(*dialog).WriteBack(written);
  EXPECT_EQ(c.written(written), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErasedNumber,
    ::testing::Values(ErasedCase{"days", kScheduleDaily, false, [](QDialog& d) { return Settings(d).DailySpin(); }, "",
                                 [](const ScheduleRecord& r) { return r.dailyInterval; }},
                      ErasedCase{"weeks", kScheduleWeekly, false, [](QDialog& d) { return Settings(d).WeeklySpin(); },
                                 "", [](const ScheduleRecord& r) { return r.weeklyInterval; }},
                      ErasedCase{"dayOfMonth", kScheduleMonthly, false,
                                 [](QDialog& d) { return Settings(d).DayOfMonthSpin(); }, "",
                                 [](const ScheduleRecord& r) { return r.dayOfMonth; }},
                      ErasedCase{"repeatInterval",
                                 kScheduleDaily,
                                 true,
                                 [](QDialog& d) { return Advanced(d).IntervalSpin(); },
                                 kDurationShort,
                                 {}},
                      ErasedCase{"durationHours",
                                 kScheduleDaily,
                                 true,
                                 [](QDialog& d) { return Advanced(d).HoursSpin(); },
                                 kDurationShort,
                                 {}}),
    CaseName());

struct AdvancedCase {
  const char* name;
  std::int32_t type;
  std::function<void(CAdvancedScheduleDlg&)> edit;
  const char* refusal;
  std::int32_t duration;  // when accepted with repeat on
};

void PrintTo(const AdvancedCase& c, std::ostream* os) { *os << c.name; }

class AdvancedOk : public ::testing::TestWithParam<AdvancedCase> {};

// Repeat on, every `interval` of `unit` (0 minutes, 1 hours).
void Repeat(CAdvancedScheduleDlg& d, const QString& interval, int unit) {
  d.RepeatBox()->setChecked(true);
  Type(d.IntervalSpin(), interval);
  d.UnitCombo()->setCurrentIndex(unit);
}

void Until(CAdvancedScheduleDlg& d, QTime time) {
  d.UntilTimeRadio()->setChecked(true);
  d.UntilTimeEdit()->setTime(time);
}

void For(CAdvancedScheduleDlg& d, const QString& hours, const QString& minutes) {
  d.DurationRadio()->setChecked(true);
  Type(d.HoursSpin(), hours);
  Type(d.MinutesSpin(), minutes);
}

TEST_P(AdvancedOk, AcceptsOrRefuses) {
  const AdvancedCase& c = GetParam();
  RecordingPrompts prompts;
  ScheduleRecord work = Record(c.type);  // starts at 10:00
  CAdvancedScheduleDlg dialog(work, prompts);
  c.edit(dialog);
  dialog.accept();
  if (*c.refusal != 0) {
    EXPECT_EQ(prompts.messages, std::vector<std::string>{c.refusal});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    return;
  }
  EXPECT_TRUE(prompts.messages.empty());
  ASSERT_EQ(dialog.result(), QDialog::Accepted);
  dialog.WriteBack(work);
  EXPECT_EQ(work.repeat, 1);
  EXPECT_EQ(work.repeatDuration, c.duration);
}

INSTANTIATE_TEST_SUITE_P(Table, AdvancedOk,
                         ::testing::Values(AdvancedCase{"hourlyUntilHalfAnHourLater", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "1", 1);
                                                          Until(d, QTime(10, 30));
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"untilBeforeStartRunsIntoNextDay", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "1", 1);
                                                          Until(d, QTime(9, 0));
                                                        },
                                                        "", 23 * 60},
                                           AdvancedCase{"untilSameMinuteIsNextDay", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "30", 0);
                                                          Until(d, QTime(10, 0));
                                                        },
                                                        "", 24 * 60},
                                           AdvancedCase{"durationZero", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "5", 0);
                                                          For(d, "0", "0");
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"durationHoursErased", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "5", 0);
                                                          For(d, "", "30");
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"intervalZero", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "0", 0);
                                                          For(d, "2", "0");
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"intervalErased", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "", 0);
                                                          For(d, "2", "0");
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"stepEqualToDuration", kScheduleDaily,
                                                        [](auto& d) {
                                                          Repeat(d, "1", 1);
                                                          For(d, "1", "0");
                                                        },
                                                        kDurationShort, 0},
                                           AdvancedCase{"everyTwentyMinutesForTwoAndAHalfHours", kScheduleWeekly,
                                                        [](auto& d) {
                                                          Repeat(d, "20", 0);
                                                          For(d, "2", "30");
                                                        },
                                                        "", 150},
                                           AdvancedCase{"endBeforeStart", kScheduleDaily,
                                                        [](auto& d) {
                                                          d.StartDateEdit()->setDate(QDate(2024, 5, 2));
                                                          d.EndDateBox()->setChecked(true);
                                                          d.EndDateEdit()->setDate(QDate(2024, 5, 1));
                                                        },
                                                        kEndBeforeStart, 0},
                                           AdvancedCase{"onceIgnoresTheDates", kScheduleOnce,
                                                        [](auto& d) {
                                                          d.EndDateBox()->setChecked(true);
                                                          d.EndDateEdit()->setDate(QDate(2000, 1, 1));
                                                          Repeat(d, "10", 0);
                                                          For(d, "1", "0");
                                                        },
                                                        "", 60}),
                         CaseName());

TEST(AdvancedSchedule, OnceOffersOnlyTheRepeatControls) {
  RecordingPrompts prompts;
  CAdvancedScheduleDlg once(Record(kScheduleOnce), prompts);
  EXPECT_FALSE(once.StartDateEdit()->isEnabled());
  EXPECT_FALSE(once.EndDateBox()->isEnabled());
  EXPECT_FALSE(once.EndDateEdit()->isEnabled());
  EXPECT_TRUE(once.RepeatBox()->isEnabled());
  EXPECT_FALSE(once.IntervalSpin()->isEnabled());  // until repeat is on
  once.RepeatBox()->setChecked(true);
  EXPECT_TRUE(once.IntervalSpin()->isEnabled());
  EXPECT_TRUE(once.HoursSpin()->isEnabled());  // "Duration" is checked at opening
  EXPECT_FALSE(once.UntilTimeEdit()->isEnabled());

  CAdvancedScheduleDlg daily(Record(kScheduleDaily), prompts);
  EXPECT_TRUE(daily.StartDateEdit()->isEnabled());
  EXPECT_FALSE(daily.EndDateEdit()->isEnabled());
  daily.EndDateBox()->setChecked(true);
  EXPECT_TRUE(daily.EndDateEdit()->isEnabled());
}

TEST(AdvancedSchedule, OpensWithTheDurationSplitAndAppliesTheStartDate) {
  RecordingPrompts prompts;
  ScheduleRecord work = Record(kScheduleDaily);
  work.repeat = 1;
  work.repeatInterval = 15;
  work.repeatDuration = 135;
  work.hasStartDate = 0;
  CAdvancedScheduleDlg dialog(work, prompts);
  EXPECT_TRUE(dialog.DurationRadio()->isChecked());
  EXPECT_EQ(dialog.HoursSpin()->value(), 2);
  EXPECT_EQ(dialog.MinutesSpin()->value(), 15);
  dialog.StartDateEdit()->setDate(QDate(2025, 1, 31));
  dialog.RepeatBox()->setChecked(false);
  dialog.accept();
  dialog.WriteBack(work);
  EXPECT_EQ(work.hasStartDate, 1);  // always applied for a type other than Once
  EXPECT_EQ(DateOf(work.startDate), QDate(2025, 1, 31));
  EXPECT_EQ(work.repeat, 0);
  EXPECT_EQ(work.repeatDuration, 135);  // repeat off: the window is kept for next time
}

TEST(ScheduleSettings, AdvancedOkUpdatesCopyAndSentence) {
  RecordingPrompts prompts;
  CScheduleSettingsDlg dialog(Record(kScheduleDaily), prompts);
  WhenModal<CAdvancedScheduleDlg>([](CAdvancedScheduleDlg& advanced) {
    Repeat(advanced, "30", 0);
    For(advanced, "2", "0");
    advanced.accept();
  });
  dialog.OnAdvanced();
  EXPECT_EQ(dialog.Work().repeat, 1);
  EXPECT_EQ(dialog.Work().hasStartDate, 1);
  EXPECT_TRUE(dialog.Description().startsWith("Every 30 minute(s) from 10:00 for 120 minutes every day"))
      << dialog.Description().toStdString();
}

}  // namespace
}  // namespace tarnwick::ui::test
