#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "schedule/ScheduleRecord.h"
#include "schedule/WallClock.h"

namespace tarnwick {
namespace {

// June 2026 starts on a Monday: 1 Mon, 3 Wed, 6 Sat, 7 Sun, 8 Mon, 15 Mon.
class NextRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    savedTz_ = old ? old : "";
    hadTz_ = old != nullptr;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) setenv("TZ", savedTz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

  static std::time_t At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return MakeLocalTime(y, mo, d, h, mi, s);
  }
  static std::string Text(std::time_t t) {
    std::tm f = LocalFields(t);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &f);
    return buf;
  }
  // A record of the given type running at hh:mm, counted from `startDate`.
  static ScheduleRecord Make(std::int32_t type, int hour, int minute, std::time_t startDate) {
    ScheduleRecord r;
    ResetSchedule(r, startDate);
    r.type = type;
    r.startTime = At(1980, 2, 6, hour, minute);
    return r;
  }
  // The next run as text, "Never" when there is none.
  static std::string Next(ScheduleRecord r, std::time_t now) {
    std::time_t t = ComputeNextRun(r, now);
    return r.nextRunValid ? Text(t) : "Never";
  }
  static void Repeat(ScheduleRecord& r, int interval, int unit, int duration) {
    r.repeat = 1;
    r.repeatInterval = interval;
    r.repeatUnit = unit;
    r.repeatDuration = duration;
  }

 private:
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(NextRunTest, OnceRunsUntilItsStartSecondHasPassed) {
  ScheduleRecord r = Make(kScheduleOnce, 10, 0, At(2026, 6, 1));
  r.onceDate = At(2026, 6, 3, 17, 45);  // only the date counts
  EXPECT_EQ(Next(r, At(2026, 6, 3, 9, 59, 59)), "2026-06-03 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 0, 0)), "2026-06-03 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 0, 1)), "Never");
  // Start and end dates play no part for Once.
  r.hasEndDate = 1;
  r.endDate = At(2026, 1, 1);
  EXPECT_EQ(Next(r, At(2026, 6, 3, 9)), "2026-06-03 10:00:00");
}

TEST_F(NextRunTest, OnceRepeatStopsBeforeTheWindowEnd) {
  ScheduleRecord r = Make(kScheduleOnce, 10, 0, At(2026, 6, 3));
  Repeat(r, 15, 0, 60);
  EXPECT_EQ(Next(r, At(2026, 6, 3, 9, 0)), "2026-06-03 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 0, 0)), "2026-06-03 10:15:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 20)), "2026-06-03 10:30:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 44, 59)), "2026-06-03 10:45:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 50)), "Never");  // 11:00 would be the window end
  // A repeat step of 0 counts as no repeat.
  r.repeatInterval = 0;
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 20)), "Never");
}

TEST_F(NextRunTest, DailyCountsIntervalsFromTheStartDate) {
  ScheduleRecord r = Make(kScheduleDaily, 10, 0, At(2026, 6, 1, 8));  // start Monday
  r.dailyInterval = 2;
  EXPECT_EQ(Next(r, At(2026, 6, 1, 8)), "2026-06-01 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 9)), "2026-06-03 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 0, 30)), "2026-06-05 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 4, 23, 59, 59)), "2026-06-05 10:00:00");
  // A start date three days ahead gives that day's first run.
  r.startDate = At(2026, 6, 10);
  EXPECT_EQ(Next(r, At(2026, 6, 7, 12)), "2026-06-10 10:00:00");
}

TEST_F(NextRunTest, DailyKeepsItsHourAcrossBothDaylightSavingChanges) {
  ScheduleRecord r = Make(kScheduleDaily, 10, 0, At(2026, 3, 20));
  std::time_t spring = ComputeNextRun(r, At(2026, 3, 28, 10, 0, 30));
  EXPECT_EQ(Text(spring), "2026-03-29 10:00:00");
  EXPECT_EQ(spring - At(2026, 3, 28, 10), 23 * 3600);  // the short day
  std::time_t autumn = ComputeNextRun(r, At(2026, 10, 24, 10, 0, 30));
  EXPECT_EQ(Text(autumn), "2026-10-25 10:00:00");
  EXPECT_EQ(autumn - At(2026, 10, 24, 10), 25 * 3600);
  // Weeks later the hour still holds (no drift from fixed-length days).
  EXPECT_EQ(Next(r, At(2026, 11, 2, 11)), "2026-11-03 10:00:00");
}

TEST_F(NextRunTest, SkippedSpringTimeRunsAtTheFirstValidMoment) {
  ScheduleRecord r = Make(kScheduleDaily, 2, 30, At(2026, 3, 20));
  EXPECT_EQ(Next(r, At(2026, 3, 28, 3)), "2026-03-29 03:00:00");
  EXPECT_EQ(ComputeNextRun(r, At(2026, 3, 28, 3)), At(2026, 3, 29, 1) + 3600);  // 01:00 UTC+1 = the switch
  EXPECT_EQ(Next(r, At(2026, 3, 29, 3, 0, 30)), "2026-03-30 02:30:00");
  // In the repeated autumn hour the first of the two 02:30 moments is taken.
  std::time_t autumn = ComputeNextRun(r, At(2026, 10, 25, 1));
  EXPECT_EQ(autumn - At(2026, 10, 25, 1), 90 * 60);
}

TEST_F(NextRunTest, DailyRepeatsOnEveryRunDay) {
  ScheduleRecord r = Make(kScheduleDaily, 10, 0, At(2026, 6, 1));
  Repeat(r, 1, 1, 180);  // 10:00, 11:00, 12:00, 13:00
  EXPECT_EQ(Next(r, At(2026, 6, 1, 9)), "2026-06-01 10:00:00");
  // Right after a run the next one is a step later, never the run that just happened.
  EXPECT_EQ(Next(r, At(2026, 6, 1, 10, 0, 0)), "2026-06-01 11:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 1, 10, 0, 20)), "2026-06-01 11:00:00");
  // Later run days repeat too; the window end itself is a run.
  EXPECT_EQ(Next(r, At(2026, 6, 8, 11, 30)), "2026-06-08 12:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 8, 12, 59, 59)), "2026-06-08 13:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 8, 13, 0, 0)), "2026-06-09 10:00:00");
  // Off days of an every-2-days schedule have no window.
  r.dailyInterval = 2;
  EXPECT_EQ(Next(r, At(2026, 6, 2, 11, 30)), "2026-06-03 10:00:00");
  // A window that runs past midnight carries on into the next day.
  ScheduleRecord late = Make(kScheduleDaily, 23, 0, At(2026, 6, 1));
  Repeat(late, 1, 1, 180);
  EXPECT_EQ(Next(late, At(2026, 6, 5, 0, 30)), "2026-06-05 01:00:00");
}

TEST_F(NextRunTest, EndDateLimitsDailyWeeklyAndMonthly) {
  for (std::int32_t type : {kScheduleDaily, kScheduleWeekly, kScheduleMonthly}) {
    ScheduleRecord r = Make(type, 10, 0, At(2026, 6, 1));
    r.weekdays = 0x7F;
    r.hasEndDate = 1;
    r.endDate = At(2026, 6, 30, 4);  // the whole day counts
    SCOPED_TRACE(ScheduleTypeName(type));
    EXPECT_EQ(Next(r, At(2026, 6, 1, 9)), "2026-06-01 10:00:00");
    EXPECT_EQ(Next(r, At(2026, 6, 30, 11)), "Never");
    // Without the end-date flag the date is ignored.
    r.hasEndDate = 0;
    EXPECT_NE(Next(r, At(2026, 6, 30, 11)), "Never");
  }
  ScheduleRecord d = Make(kScheduleDaily, 10, 0, At(2026, 6, 1));
  d.hasEndDate = 1;
  d.endDate = At(2026, 6, 30);
  EXPECT_EQ(Next(d, At(2026, 6, 29, 11)), "2026-06-30 10:00:00");
}

TEST_F(NextRunTest, WeeklyPicksTheNextSelectedDayAfterToday) {
  ScheduleRecord sat = Make(kScheduleWeekly, 10, 0, At(2026, 5, 1));
  sat.weekdays = 1 << 5;
  EXPECT_EQ(Next(sat, At(2026, 6, 6, 10, 0, 0)), "2026-06-13 10:00:00");
  // Today is not a candidate once the start date's week is over, even before its start time.
  ScheduleRecord mon = Make(kScheduleWeekly, 10, 0, At(2026, 5, 1));
  mon.weekdays = 1;
  EXPECT_EQ(Next(mon, At(2026, 6, 8, 8)), "2026-06-15 10:00:00");
  // Before the start date the first selected day from it counts, the start day included.
  mon.startDate = At(2026, 6, 8);
  EXPECT_EQ(Next(mon, At(2026, 6, 8, 8)), "2026-06-08 10:00:00");
  mon.startDate = At(2026, 6, 9);
  EXPECT_EQ(Next(mon, At(2026, 6, 1, 8)), "2026-06-15 10:00:00");
  mon.weekdays = 0;
  EXPECT_EQ(Next(mon, At(2026, 6, 1, 8)), "Never");
}

TEST_F(NextRunTest, WeeklyEveryNWeeksJumpsFromTheCurrentWeek) {
  ScheduleRecord r = Make(kScheduleWeekly, 10, 0, At(2026, 5, 1));
  r.weeklyInterval = 2;
  r.weekdays = 1 | 4;  // Monday, Wednesday
  EXPECT_EQ(Next(r, At(2026, 6, 1, 10)), "2026-06-03 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10)), "2026-06-15 10:00:00");
  // Sunday ends its week: every 2 weeks on Monday and Sunday skips the Monday right after.
  r.weekdays = 1 | (1 << 6);
  EXPECT_EQ(Next(r, At(2026, 6, 1, 10)), "2026-06-07 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 7, 10)), "2026-06-15 10:00:00");
  // Every week on Sunday alone: the next Sunday.
  r.weeklyInterval = 1;
  r.weekdays = 1 << 6;
  EXPECT_EQ(Next(r, At(2026, 6, 7, 10)), "2026-06-14 10:00:00");
  // Every week on Monday and Sunday: from Sunday the next day.
  r.weekdays = 1 | (1 << 6);
  EXPECT_EQ(Next(r, At(2026, 6, 7, 10)), "2026-06-08 10:00:00");
}

TEST_F(NextRunTest, WeeklyRepeatsOnSelectedDaysAndKeepsWallTime) {
  ScheduleRecord r = Make(kScheduleWeekly, 10, 0, At(2026, 5, 1));
  r.weekdays = 1 | 4;
  Repeat(r, 30, 0, 60);
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 10)), "2026-06-03 10:30:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 45)), "2026-06-03 11:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 11, 0, 0)), "2026-06-08 10:00:00");
  // No window on a day that is not selected.
  EXPECT_EQ(Next(r, At(2026, 6, 4, 10, 10)), "2026-06-08 10:00:00");
  // A window longer than a week is still open on its own weekday before that day's first run.
  ScheduleRecord mon = Make(kScheduleWeekly, 10, 0, At(2026, 5, 1));
  mon.weekdays = 1;
  Repeat(mon, 1, 1, 240 * 60);  // hourly for ten days from each Monday 10:00
  EXPECT_EQ(Next(mon, At(2026, 6, 7, 12)), "2026-06-07 13:00:00");
  EXPECT_EQ(Next(mon, At(2026, 6, 8, 8, 30)), "2026-06-08 09:00:00");
  EXPECT_EQ(Next(mon, At(2026, 6, 8, 10, 30)), "2026-06-08 11:00:00");
  // Sunday the 29th of March 2026 is the short day.
  ScheduleRecord sun = Make(kScheduleWeekly, 2, 30, At(2026, 3, 1));
  sun.weekdays = 1 << 6;
  EXPECT_EQ(Next(sun, At(2026, 3, 23, 12)), "2026-03-29 03:00:00");
  EXPECT_EQ(Next(sun, At(2026, 3, 29, 12)), "2026-04-05 02:30:00");
}

TEST_F(NextRunTest, MonthlyByDaySkipsMonthsTooShort) {
  ScheduleRecord r = Make(kScheduleMonthly, 10, 0, At(2026, 1, 1));
  r.dayOfMonth = 31;
  EXPECT_EQ(Next(r, At(2026, 1, 31, 10, 0, 1)), "2026-03-31 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 4, 1)), "2026-05-31 10:00:00");
  // Day 29 in February only: the next leap year.
  r.dayOfMonth = 29;
  r.months = 1 << 1;
  EXPECT_EQ(Next(r, At(2026, 3, 1)), "2028-02-29 10:00:00");
  // Day 30 never fits February.
  r.dayOfMonth = 30;
  EXPECT_EQ(Next(r, At(2026, 3, 1)), "Never");
}

TEST_F(NextRunTest, MonthlySearchesOnFromOldStartDates) {
  ScheduleRecord r = Make(kScheduleMonthly, 10, 0, At(2019, 5, 17));
  r.dayOfMonth = 5;
  r.months = 1 << 2;  // March
  EXPECT_EQ(Next(r, At(2026, 4, 2)), "2027-03-05 10:00:00");
  EXPECT_EQ(Next(r, At(2026, 2, 2)), "2026-03-05 10:00:00");
  // No run before the start date, even in its own month.
  r.months = 0xFFF;
  r.startDate = At(2026, 6, 10);
  EXPECT_EQ(Next(r, At(2026, 6, 1)), "2026-07-05 10:00:00");
}

TEST_F(NextRunTest, MonthlyRepeatWindowIncludesItsEnd) {
  ScheduleRecord r = Make(kScheduleMonthly, 10, 0, At(2026, 6, 1));
  r.dayOfMonth = 3;
  Repeat(r, 15, 0, 60);
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 20)), "2026-06-03 10:30:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 10, 59)), "2026-06-03 11:00:00");
  EXPECT_EQ(Next(r, At(2026, 6, 3, 11, 0, 0)), "2026-07-03 10:00:00");
}

TEST_F(NextRunTest, MonthlyByWeekday) {
  ScheduleRecord r = Make(kScheduleMonthly, 10, 0, At(2026, 1, 1));
  r.monthlyByWeekday = 1;
  r.weekOfMonth = 4;  // last
  r.dayOfWeek = 4;    // Friday
  // July 2026 ends on a Friday; June's last Friday is the 26th.
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 7), 31);
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 6), 26);
  EXPECT_EQ(Next(r, At(2026, 6, 27)), "2026-07-31 10:00:00");
  r.weekOfMonth = 0;  // first Friday of June: the 5th
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 6), 5);
  r.dayOfWeek = 0;  // Monday: June starts on one
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 6), 1);
  r.weekOfMonth = 3;
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 6), 22);
  r.dayOfWeek = 6;  // Sunday
  r.weekOfMonth = 4;
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 5), 31);
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 2), 22);
  r.weekOfMonth = 1;
  EXPECT_EQ(NthWeekdayOfMonth(r, 2026, 2), 8);
}

// Stored values the schedule pages never produce reach the computation as they are (a profile
// file keeps them): each must give a run in the future or "Never", never a past time or a hang.
// Wednesday 3 June 2026, 12:00; every record starts on Monday 1 June at 10:00.
TEST_F(NextRunTest, UnusableStoredValuesGiveAFutureRunOrNever) {
  const struct {
    const char* what;
    std::int32_t type;
    void (*change)(ScheduleRecord&);
    const char* expected;
  } cases[] = {
      {"daily interval 0 runs every day", kScheduleDaily, [](ScheduleRecord& r) { r.dailyInterval = 0; },
       "2026-06-04 10:00:00"},
      {"negative daily interval runs every day", kScheduleDaily, [](ScheduleRecord& r) { r.dailyInterval = -4; },
       "2026-06-04 10:00:00"},
      {"the largest daily interval", kScheduleDaily, [](ScheduleRecord& r) { r.dailyInterval = INT32_MAX; }, nullptr},
      {"weekday bits beyond Sunday", kScheduleWeekly, [](ScheduleRecord& r) { r.weekdays = 255; },
       "2026-06-04 10:00:00"},
      {"only bits beyond Sunday", kScheduleWeekly, [](ScheduleRecord& r) { r.weekdays = 0x80; }, "Never"},
      {"weekly interval 0 runs every week", kScheduleWeekly,
       [](ScheduleRecord& r) { r.weeklyInterval = 0, r.weekdays = 1; }, "2026-06-08 10:00:00"},
      {"the largest weekly interval", kScheduleWeekly,
       [](ScheduleRecord& r) { r.weeklyInterval = INT32_MAX, r.weekdays = 1; }, nullptr},
      {"week 7 of the month counts as the first", kScheduleMonthly,
       [](ScheduleRecord& r) { r.monthlyByWeekday = 1, r.weekOfMonth = 7, r.dayOfWeek = 2; }, "2026-07-01 10:00:00"},
      {"a negative week counts as the first", kScheduleMonthly,
       [](ScheduleRecord& r) { r.monthlyByWeekday = 1, r.weekOfMonth = INT32_MIN, r.dayOfWeek = 2; },
       "2026-07-01 10:00:00"},
      {"day 0 of the month never comes", kScheduleMonthly, [](ScheduleRecord& r) { r.dayOfMonth = 0; }, "Never"},
      {"day 40 of the month never comes", kScheduleMonthly, [](ScheduleRecord& r) { r.dayOfMonth = 40; }, "Never"},
      {"month bits beyond December", kScheduleMonthly, [](ScheduleRecord& r) { r.months = 0xF000; }, "Never"},
      {"repeat without a step repeats nothing", kScheduleDaily,
       [](ScheduleRecord& r) { r.repeat = 1, r.repeatInterval = 0, r.repeatDuration = 600; }, "2026-06-04 10:00:00"},
      {"repeat with a negative window repeats nothing", kScheduleDaily,
       [](ScheduleRecord& r) { r.repeat = 1, r.repeatInterval = 5, r.repeatDuration = -60; }, "2026-06-04 10:00:00"},
      {"an unknown repeat unit counts minutes", kScheduleDaily,
       [](ScheduleRecord& r) { r.repeat = 1, r.repeatInterval = 30, r.repeatUnit = 3, r.repeatDuration = 180; },
       "2026-06-03 12:30:00"},
      {"the longest repeat window", kScheduleMonthly,
       [](ScheduleRecord& r) { r.repeat = 1, r.repeatInterval = INT32_MAX, r.repeatDuration = INT32_MAX; }, nullptr},
  };
  const std::time_t now = At(2026, 6, 3, 12, 0);
  for (const auto& c : cases) {
    ScheduleRecord r = Make(c.type, 10, 0, At(2026, 6, 1));
    c.change(r);
    const std::time_t next = ComputeNextRun(r, now);
    if (c.expected != nullptr) {
      EXPECT_EQ(r.nextRunValid ? Text(next) : "Never", c.expected) << c.what;
    } else {
      EXPECT_TRUE(r.nextRunValid) << c.what;
      EXPECT_GT(next, now) << c.what;
    }
  }
}

TEST_F(NextRunTest, CalendarHelpers) {
  EXPECT_EQ(DaysInMonth(2026, 2), 28);
  EXPECT_EQ(DaysInMonth(2028, 2), 29);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2026, 4), 30);
  EXPECT_EQ(DaysInMonth(2026, 12), 31);
  // DaysInMonth is independent of the spring change on the 29th of March.
  EXPECT_EQ(DaysInMonth(2026, 3), 31);

  ScheduleRecord r;
  r.weekdays = 1 | (1 << 6);  // Monday, Sunday
  EXPECT_TRUE(IsWeekdaySelected(r, 1));
  EXPECT_TRUE(IsWeekdaySelected(r, 2));
  EXPECT_FALSE(IsWeekdaySelected(r, 7));
  EXPECT_FALSE(IsWeekdaySelected(r, 0));
  EXPECT_FALSE(IsWeekdaySelected(r, 8));
  r.months = 1 | (1 << 11);
  EXPECT_TRUE(IsMonthSelected(r, 1));
  EXPECT_TRUE(IsMonthSelected(r, 12));
  EXPECT_FALSE(IsMonthSelected(r, 2));
  EXPECT_FALSE(IsMonthSelected(r, 13));

  EXPECT_EQ(WallWeekday(WallFromCivil(2026, 6, 7)), 0);
  EXPECT_EQ(WallFromCivil(2026, 13, 1), WallFromCivil(2027, 1, 1));
}

TEST_F(NextRunTest, ResetAndFormatting) {
  ScheduleRecord r;
  r.repeatUnit = 1;
  r.weekdays = 0x55;
  r.enabled = true;
  const std::time_t now = At(2003, 4, 3, 11, 5, 42);
  ResetSchedule(r, now);
  EXPECT_EQ(r.repeatUnit, 1);  // not reset
  EXPECT_EQ(r.weekdays, 1);
  EXPECT_FALSE(r.enabled);
  EXPECT_EQ(r.months, 0xFFF);
  EXPECT_EQ(r.startTime, now);
  EXPECT_EQ(r.endDate, now);
  EXPECT_EQ(Text(r.nextRun), "2030-02-06 00:00:00");
  EXPECT_EQ(FormatMinuteKey(now), "200304031105");

  r.startTime = At(1980, 2, 6, 9, 7);
  EXPECT_EQ(FormatNextRun(r, true, now), "2003-04-04 09:07:00");
  EXPECT_EQ(FormatNextRun(r, false, now), "09:07 04/04/2003");
  r.type = kScheduleOnce;
  EXPECT_EQ(FormatNextRun(r, true, now), "Never");
  EXPECT_EQ(r.nextRunValid, 0);
}

TEST(ScheduleNames, LookupsFallBackToTheFirstEntry) {
  EXPECT_STREQ(ScheduleTypeName(kScheduleMonthly), "Monthly");
  EXPECT_STREQ(ScheduleTypeName(9), "Daily");
  EXPECT_EQ(ScheduleTypeFromName("Once"), kScheduleOnce);
  EXPECT_EQ(ScheduleTypeFromName("once"), kScheduleDaily);
  EXPECT_STREQ(WeekdayName(6), "Sunday");
  EXPECT_STREQ(WeekdayName(7), "Monday");
  EXPECT_STREQ(OrdinalName(4), "last");
  EXPECT_STREQ(OrdinalName(-1), "first");
}

}  // namespace
}  // namespace tarnwick
