// The one-sentence description under the schedule page's controls.
#include <ctime>
#include <string>

#include "app/StringTable.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

namespace {

constexpr unsigned kShortWeekdays[7] = {IDS_WEEKDAY_MON, IDS_WEEKDAY_TUE, IDS_WEEKDAY_WED, IDS_WEEKDAY_THU,
                                        IDS_WEEKDAY_FRI, IDS_WEEKDAY_SAT, IDS_WEEKDAY_SUN};

// Month, day and year of a date, in the order the sentences print them.
struct Date {
  int month, day, year;
};

Date DateOf(std::time_t when) {
  std::tm t = LocalFields(when);
  return {t.tm_mon + 1, t.tm_mday, t.tm_year + 1900};
}

std::string WeekdayList(std::int32_t weekdays) {
  std::string list;
  for (int bit = 0; bit < 7; ++bit) {
    if (!((weekdays >> bit) & 1)) continue;
    if (!list.empty()) list += LoadString(IDS_LIST_SEPARATOR);
    list += LoadString(kShortWeekdays[bit]);
  }
  return list;
}

std::string MonthList(std::int32_t months) {
  if ((months & 0xFFF) == 0xFFF) return {};
  std::string list;
  for (int bit = 0; bit < 12; ++bit) {
    if (!((months >> bit) & 1)) continue;
    if (!list.empty()) list += LoadString(IDS_LIST_SEPARATOR);
    list += LoadString(IDS_MONTH_JANUARY + bit);
  }
  return LoadString(IDS_MONTH_LIST_LEAD) + list;
}

std::string OrdinalDay(const ScheduleRecord& r) {
  const unsigned weekday = r.dayOfWeek >= 0 && r.dayOfWeek < 7 ? kShortWeekdays[r.dayOfWeek] : kShortWeekdays[0];
  return std::string(OrdinalName(r.weekOfMonth)) + " " + LoadString(weekday);
}

// The sentences share their tail: the start date and, with an end date, the end date. Each
// helper passes its leading arguments and lets the right format be chosen by the flags.
struct Sentence {
  const ScheduleRecord& r;
  int hour, minute;

  // "At HH:MM ..." sentences without repeat.
  template <typename... Middle>
  std::string At(unsigned id, unsigned idEnd, Middle... middle) const {
    Date s = DateOf(r.startDate), e = DateOf(r.endDate);
    if (r.hasEndDate)
      return FormatString(idEnd, hour, minute, middle..., s.month, s.day, s.year, e.month, e.day, e.year);
    return FormatString(id, hour, minute, middle..., s.month, s.day, s.year);
  }

  // "Every R U from HH:MM for D minutes ..." sentences.
  template <typename... Middle>
  std::string Every(unsigned id, unsigned idEnd, Middle... middle) const {
    Date s = DateOf(r.startDate), e = DateOf(r.endDate);
    const char* unit = LoadString(r.repeatUnit == 1 ? IDS_UNIT_HOURS : IDS_UNIT_MINUTES);
    if (r.hasEndDate)
      return FormatString(idEnd, r.repeatInterval, unit, hour, minute, r.repeatDuration, middle..., s.month, s.day,
                          s.year, e.month, e.day, e.year);
    return FormatString(id, r.repeatInterval, unit, hour, minute, r.repeatDuration, middle..., s.month, s.day, s.year);
  }
};

std::string DescribeOnce(const ScheduleRecord& r, int hour, int minute, std::time_t onceDate) {
  Date d = DateOf(onceDate);
  if (r.repeat) {
    const char* unit = LoadString(r.repeatUnit == 1 ? IDS_UNIT_HOURS : IDS_UNIT_MINUTES);
    return FormatString(IDS_SCHED_ONCE_REPEAT, r.repeatInterval, unit, hour, minute, r.repeatDuration, d.month, d.day,
                        d.year);
  }
  return FormatString(IDS_SCHED_ONCE, hour, minute, d.month, d.day, d.year);
}

std::string DescribeDaily(const Sentence& s) {
  const ScheduleRecord& r = s.r;
  if (r.repeat) {
    if (r.dailyInterval == 1) return s.Every(IDS_SCHED_DAILY_REPEAT, IDS_SCHED_DAILY_REPEAT_END);
    return s.Every(IDS_SCHED_DAILY_N_REPEAT, IDS_SCHED_DAILY_N_REPEAT_END, r.dailyInterval);
  }
  if (r.dailyInterval == 1) return s.At(IDS_SCHED_DAILY, IDS_SCHED_DAILY_END);
  return s.At(IDS_SCHED_DAILY_N, IDS_SCHED_DAILY_N_END, r.dailyInterval);
}

std::string DescribeWeekly(const Sentence& s) {
  const ScheduleRecord& r = s.r;
  const std::string days = WeekdayList(r.weekdays);
  if (r.repeat) {
    if (r.weeklyInterval == 1) return s.Every(IDS_SCHED_WEEKLY_REPEAT, IDS_SCHED_WEEKLY_REPEAT_END, days.c_str());
    return s.Every(IDS_SCHED_WEEKLY_N_REPEAT, IDS_SCHED_WEEKLY_N_REPEAT_END, days.c_str(), r.weeklyInterval);
  }
  if (r.weeklyInterval == 1) return s.At(IDS_SCHED_WEEKLY, IDS_SCHED_WEEKLY_END, days.c_str());
  return s.At(IDS_SCHED_WEEKLY_N, IDS_SCHED_WEEKLY_N_END, days.c_str(), r.weeklyInterval);
}

std::string DescribeMonthly(const Sentence& s) {
  const ScheduleRecord& r = s.r;
  const std::string months = MonthList(r.months);
  if (r.monthlyByWeekday) {
    const std::string day = OrdinalDay(r);
    if (r.repeat)
      return s.Every(IDS_SCHED_MONTHLY_WEEKDAY_REPEAT, IDS_SCHED_MONTHLY_WEEKDAY_REPEAT_END, day.c_str(),
                     months.c_str());
    return s.At(IDS_SCHED_MONTHLY_WEEKDAY, IDS_SCHED_MONTHLY_WEEKDAY_END, day.c_str(), months.c_str());
  }
  if (r.repeat)
    return s.Every(IDS_SCHED_MONTHLY_DAY_REPEAT, IDS_SCHED_MONTHLY_DAY_REPEAT_END, r.dayOfMonth, months.c_str());
  return s.At(IDS_SCHED_MONTHLY_DAY, IDS_SCHED_MONTHLY_DAY_END, r.dayOfMonth, months.c_str());
}

}  // namespace

bool DescribeSchedule(const ScheduleRecord& record, int hour, int minute, std::time_t onceDate, std::string& sentence) {
  const Sentence s{record, hour, minute};
  switch (record.type) {
    case kScheduleOnce: sentence = DescribeOnce(record, hour, minute, onceDate); return true;
    case kScheduleWeekly:
      // An interval of 0 is an edit in progress: the previous sentence stays.
      if (record.weeklyInterval == 0) return false;
      sentence = DescribeWeekly(s);
      return true;
    case kScheduleMonthly: sentence = DescribeMonthly(s); return true;
    default:
      if (record.dailyInterval == 0) return false;
      sentence = DescribeDaily(s);
      return true;
  }
}

}  // namespace tarnwick
