#include <gtest/gtest.h>

#include <string>

#include "schedule/ScheduleRecord.h"

namespace tarnwick {
namespace {

// Dates are built and read in the same local zone, so the process TZ does not matter here.
ScheduleRecord Base(std::int32_t type) {
  ScheduleRecord r;
  ResetSchedule(r, MakeLocalTime(2003, 5, 11, 12));
  r.type = type;
  return r;
}

std::string Describe(const ScheduleRecord& r, int hour = 10, int minute = 0,
                     std::time_t onceDate = MakeLocalTime(2003, 7, 4)) {
  std::string sentence = "previous";
  DescribeSchedule(r, hour, minute, onceDate, sentence);
  return sentence;
}

void WithEnd(ScheduleRecord& r) {
  r.hasEndDate = 1;
  r.endDate = MakeLocalTime(2004, 1, 2);
}

void WithRepeat(ScheduleRecord& r, int interval, int unit, int duration) {
  r.repeat = 1;
  r.repeatInterval = interval;
  r.repeatUnit = unit;
  r.repeatDuration = duration;
}

TEST(DescribeSchedule, Once) {
  ScheduleRecord r = Base(kScheduleOnce);
  WithEnd(r);  // no part of a Once sentence
  EXPECT_EQ(Describe(r, 7, 5), "At 07:05 on 07/04/2003");
  WithRepeat(r, 15, 0, 60);
  EXPECT_EQ(Describe(r, 7, 5), "Every 15 minute(s) from 07:05 for 60 minutes on 07/04/2003");
}

TEST(DescribeSchedule, DailyVariants) {
  ScheduleRecord r = Base(kScheduleDaily);
  EXPECT_EQ(Describe(r), "At 10:00 every day, starting 05/11/2003");
  r.dailyInterval = 3;
  EXPECT_EQ(Describe(r), "At 10:00 every 3 day, starting 05/11/2003");
  WithEnd(r);
  EXPECT_EQ(Describe(r), "At 10:00 every 3 day, starting 05/11/2003 and ending 01/02/2004");
  r.dailyInterval = 1;
  EXPECT_EQ(Describe(r), "At 10:00 every day, starting 05/11/2003 and ending 01/02/2004");
  WithRepeat(r, 2, 1, 600);
  EXPECT_EQ(Describe(r, 8, 0),
            "Every 2 hour(s) from 08:00 for 600 minutes every day, starting 05/11/2003 and ending 01/02/2004");
  r.hasEndDate = 0;
  EXPECT_EQ(Describe(r, 8, 0), "Every 2 hour(s) from 08:00 for 600 minutes every day, starting 05/11/2003");
  r.dailyInterval = 2;
  EXPECT_EQ(Describe(r, 8, 0), "Every 2 hour(s) from 08:00 for 600 minutes every 2 day, starting 05/11/2003");
  WithEnd(r);
  EXPECT_EQ(Describe(r, 8, 0),
            "Every 2 hour(s) from 08:00 for 600 minutes every 2 day, starting 05/11/2003 and ending 01/02/2004");
}

TEST(DescribeSchedule, ZeroIntervalLeavesThePreviousSentence) {
  ScheduleRecord daily = Base(kScheduleDaily);
  daily.dailyInterval = 0;
  std::string sentence = "kept";
  EXPECT_FALSE(DescribeSchedule(daily, 10, 0, 0, sentence));
  EXPECT_EQ(sentence, "kept");
  ScheduleRecord weekly = Base(kScheduleWeekly);
  weekly.weeklyInterval = 0;
  EXPECT_FALSE(DescribeSchedule(weekly, 10, 0, 0, sentence));
  EXPECT_EQ(sentence, "kept");
  weekly.weeklyInterval = 1;
  EXPECT_TRUE(DescribeSchedule(weekly, 10, 0, 0, sentence));
  EXPECT_NE(sentence, "kept");
}

TEST(DescribeSchedule, WeeklyVariants) {
  ScheduleRecord r = Base(kScheduleWeekly);
  r.weekdays = 1 | 4;
  r.weeklyInterval = 2;
  EXPECT_EQ(Describe(r), "At 10:00 every Mon, Wed of every 2 week, starting 05/11/2003");
  r.weekdays = 0x7F;
  r.weeklyInterval = 1;
  EXPECT_EQ(Describe(r), "At 10:00 every Mon, Tue, Wed, Thu, Fri, Sat, Sun of every week, starting 05/11/2003");
  r.weekdays = 1 << 6;
  WithEnd(r);
  EXPECT_EQ(Describe(r), "At 10:00 every Sun of every week, starting 05/11/2003 and ending 01/02/2004");
  r.weeklyInterval = 4;
  EXPECT_EQ(Describe(r), "At 10:00 every Sun of every 4 week, starting 05/11/2003 and ending 01/02/2004");
  WithRepeat(r, 30, 0, 90);
  EXPECT_EQ(Describe(r, 23, 9),
            "Every 30 minute(s) from 23:09 for 90 minutes every Sun of every 4 week, "
            "starting 05/11/2003 and ending 01/02/2004");
  r.weeklyInterval = 1;
  EXPECT_EQ(Describe(r, 23, 9),
            "Every 30 minute(s) from 23:09 for 90 minutes every Sun of every week, "
            "starting 05/11/2003 and ending 01/02/2004");
  r.hasEndDate = 0;
  EXPECT_EQ(Describe(r, 23, 9),
            "Every 30 minute(s) from 23:09 for 90 minutes every Sun of every week, starting 05/11/2003");
  r.weeklyInterval = 3;
  r.weekdays = 0;
  EXPECT_EQ(Describe(r, 23, 9),
            "Every 30 minute(s) from 23:09 for 90 minutes every  of every 3 week, starting 05/11/2003");
}

TEST(DescribeSchedule, MonthlyVariants) {
  ScheduleRecord r = Base(kScheduleMonthly);
  r.dayOfMonth = 5;
  r.months = 1 | 4;
  EXPECT_EQ(Describe(r), "At 10:00 on day 5 of every month of January, March, starting 05/11/2003");
  r.months = 0xFFF;
  EXPECT_EQ(Describe(r), "At 10:00 on day 5 of every month, starting 05/11/2003");
  WithEnd(r);
  EXPECT_EQ(Describe(r), "At 10:00 on day 5 of every month, starting 05/11/2003 and ending 01/02/2004");
  r.monthlyByWeekday = 1;
  r.weekOfMonth = 4;
  r.dayOfWeek = 4;
  r.months = 1 << 11;
  EXPECT_EQ(Describe(r),
            "At 10:00 on the last Fri of every month of December, starting 05/11/2003 and ending 01/02/2004");
  WithRepeat(r, 1, 1, 120);
  EXPECT_EQ(Describe(r),
            "Every 1 hour(s) from 10:00 for 120 minutes on the last Fri of every month of December, "
            "starting 05/11/2003 and ending 01/02/2004");
  r.hasEndDate = 0;
  r.weekOfMonth = 1;
  r.dayOfWeek = 6;
  EXPECT_EQ(Describe(r),
            "Every 1 hour(s) from 10:00 for 120 minutes on the second Sun of every month of December, "
            "starting 05/11/2003");
  r.monthlyByWeekday = 0;
  EXPECT_EQ(Describe(r),
            "Every 1 hour(s) from 10:00 for 120 minutes on day 5 of every month of December, "
            "starting 05/11/2003");
  WithEnd(r);
  EXPECT_EQ(Describe(r),
            "Every 1 hour(s) from 10:00 for 120 minutes on day 5 of every month of December, "
            "starting 05/11/2003 and ending 01/02/2004");
  r.repeat = 0;
  r.hasEndDate = 0;
  r.monthlyByWeekday = 1;
  EXPECT_EQ(Describe(r), "At 10:00 on the second Sun of every month of December, starting 05/11/2003");
}

}  // namespace
}  // namespace tarnwick
