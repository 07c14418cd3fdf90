#include "schedule/ScheduleRecord.h"

#include <algorithm>
#include <optional>

#include "app/StringTable.h"
#include "schedule/WallClock.h"

namespace tarnwick {

namespace {

constexpr std::int64_t kMinutesPerDay = std::int64_t{24} * 60;

// Years enough for a day 29 of February (at most eight years between leap years) to come round.
constexpr int kMonthSearchLimit = 12 * 9;

// Repeat settings as the computation uses them: a step of 0 counts as no repeat.
struct RepeatWindow {
  bool on = false;
  std::int64_t step = 0;      // minutes
  std::int64_t duration = 0;  // minutes
};

RepeatWindow WindowOf(const ScheduleRecord& r) {
  RepeatWindow w;
  w.step = static_cast<std::int64_t>(r.repeatInterval) * (r.repeatUnit == 1 ? 60 : 1);
  w.duration = std::max<std::int64_t>(0, r.repeatDuration);
  w.on = r.repeat != 0 && w.step > 0;
  return w;
}

// The first run of a day (H:M of startTime) as a wall value.
Wall FirstRunOn(const ScheduleRecord& r, Wall day) {
  std::tm t = LocalFields(r.startTime);
  return WallDayStart(day) + Wall{t.tm_hour} * 3600 + Wall{t.tm_min} * 60;
}

// The runs of a window that begins at `first` are first + k×step. Returns the run for the smallest
// k ≥ 1 that is later than now, while k×step stays within the duration (up to and including it
// when `endInclusive`, strictly before it otherwise).
std::optional<std::time_t> NextInWindow(Wall first, std::time_t now, const RepeatWindow& w, bool endInclusive) {
  if (!w.on) return std::nullopt;
  std::int64_t minutes = std::max<std::int64_t>(0, (ToWall(now) - first) / 60);
  // One step early: wall values are not monotonic in a repeated autumn hour, the loop settles it.
  for (std::int64_t k = std::max<std::int64_t>(1, minutes / w.step);; ++k) {
    std::int64_t offset = k * w.step;
    if (endInclusive ? offset > w.duration : offset >= w.duration) return std::nullopt;
    std::time_t t = WallToTime(first + offset * 60);
    if (t > now) return t;
  }
}

std::time_t Earliest(std::time_t a, std::optional<std::time_t> b) { return b && *b < a ? *b : a; }

struct Result {
  std::time_t when = 0;
  bool valid = false;
};

Result ComputeOnce(const ScheduleRecord& r, std::time_t now) {
  Wall first = FirstRunOn(r, ToWall(r.onceDate));
  std::time_t t = WallToTime(first);
  RepeatWindow w = WindowOf(r);
  if (!w.on || now < t) return {t, !(t < now)};
  // Inside the window the runs stop strictly before its end.
  std::optional<std::time_t> next = NextInWindow(first, now, w, false);
  return next ? Result{*next, true} : Result{t, false};
}

Result ComputeDaily(const ScheduleRecord& r, std::time_t now) {
  Wall first = FirstRunOn(r, ToWall(r.startDate));
  std::time_t firstTime = WallToTime(first);
  if (now < firstTime) return {firstTime, true};
  const std::int64_t interval = std::max<std::int32_t>(1, r.dailyInterval);
  // Days are counted on the wall clock so the run keeps its hour across daylight-saving changes.
  std::int64_t days = std::max<std::int64_t>(0, (ToWall(now) - first) / kWallDay);
  std::int64_t latestRunDay = days / interval * interval;
  std::int64_t nextRunDay = latestRunDay + interval;
  std::time_t next = WallToTime(first + nextRunDay * kWallDay);
  // A first run inside the repeated autumn hour can map before now; the next run day then.
  while (next <= now) {
    nextRunDay += interval;
    next = WallToTime(first + nextRunDay * kWallDay);
  }
  next = Earliest(next, NextInWindow(first + latestRunDay * kWallDay, now, WindowOf(r), true));
  return {next, true};
}

bool SelectedDay(const ScheduleRecord& r, Wall day) { return IsWeekdaySelected(r, WallWeekday(day) + 1); }

Result ComputeWeekly(const ScheduleRecord& r, std::time_t now) {
  if ((r.weekdays & 0x7F) == 0) return {};
  const Wall startDay = WallDayStart(ToWall(r.startDate));
  Wall first = FirstRunOn(r, startDay);
  if (now < WallToTime(first)) {
    for (int i = 0; i < 7; ++i) {
      if (SelectedDay(r, first + i * kWallDay)) return {WallToTime(first + i * kWallDay), true};
    }
  }
  const Wall today = FirstRunOn(r, ToWall(now));
  // Weeks run Monday to Sunday: a Sunday ends its week, so "the rest of the week" is empty then
  // and the every-N-weeks jump counts from the week that ends today.
  const int weekdayFromMonday = WallWeekday(today) == 0 ? 7 : WallWeekday(today);
  const int restOfWeek = 7 - weekdayFromMonday;
  const int interval = std::max<std::int32_t>(1, r.weeklyInterval);
  auto firstSelected = [&](std::int64_t from, std::int64_t to) -> std::optional<std::time_t> {
    for (std::int64_t i = from; i <= to; ++i) {
      if (SelectedDay(r, today + i * kWallDay)) return WallToTime(today + i * kWallDay);
    }
    return std::nullopt;
  };
  // Today is not a candidate here, even when its start time is still ahead.
  std::optional<std::time_t> found = firstSelected(1, restOfWeek);
  const std::int64_t jump = restOfWeek + 7LL * (interval - 1);
  if (!found) found = firstSelected(jump + 1, jump + 7);
  std::time_t next = *found;  // some weekday is selected, so the week after the jump holds one
  // Repeats belong to the latest selected day since the start date whose first run has come. That
  // can be today's weekday a week ago, while today's first run is still ahead; its window may last
  // longer than a week.
  RepeatWindow w = WindowOf(r);
  for (int back = 0; w.on && back <= 7; ++back) {
    Wall day = today - back * kWallDay;
    if (day < first) break;
    if (SelectedDay(r, day) && WallToTime(day) <= now) {
      next = Earliest(next, NextInWindow(day, now, w, true));
      break;
    }
  }
  return {next, true};
}

// The run of a month as a wall value, or nothing when the month has none.
std::optional<Wall> MonthlyCandidate(const ScheduleRecord& r, int year, int month) {
  if (!IsMonthSelected(r, month)) return std::nullopt;
  int day = r.monthlyByWeekday ? NthWeekdayOfMonth(r, year, month) : r.dayOfMonth;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return FirstRunOn(r, WallFromCivil(year, month, day));
}

Result ComputeMonthly(const ScheduleRecord& r, std::time_t now) {
  const RepeatWindow w = WindowOf(r);
  const Wall startDay = WallDayStart(ToWall(r.startDate));
  std::tm start = LocalFields(r.startDate);
  std::tm current = LocalFields(now);
  std::int64_t startIndex = (start.tm_year + 1900) * 12LL + start.tm_mon;
  // Months whose whole repeat window lies before now cannot hold the next run: skip them, so a
  // start date years back costs nothing.
  std::int64_t windowMonths = w.on ? w.duration / (28 * kMinutesPerDay) + 2 : 2;
  std::int64_t index =
      std::max<std::int64_t>(startIndex, (current.tm_year + 1900) * 12LL + current.tm_mon - windowMonths);
  for (std::int64_t end = index + windowMonths + kMonthSearchLimit; index <= end; ++index) {
    std::optional<Wall> q = MonthlyCandidate(r, static_cast<int>(index / 12), static_cast<int>(index % 12) + 1);
    // Runs are counted from the start date: nothing before it.
    if (!q || *q < startDay) continue;
    std::time_t t = WallToTime(*q);
    if (now < t) return {t, true};
    if (std::optional<std::time_t> next = NextInWindow(*q, now, w, true)) return {*next, true};
  }
  return {};  // no selected month ever holds the day
}

}  // namespace

std::time_t DefaultNextRun() { return MakeLocalTime(2030, 2, 6); }

void ResetSchedule(ScheduleRecord& record, std::time_t now) {
  const std::int32_t keptUnit = record.repeatUnit;
  record = ScheduleRecord{};
  record.repeatUnit = keptUnit;
  record.startTime = record.onceDate = record.startDate = record.endDate = now;
}

std::time_t ComputeNextRun(ScheduleRecord& record, std::time_t now) {
  Result result;
  switch (record.type) {
    case kScheduleOnce:
      result = ComputeOnce(record, now);
      record.nextRunValid = result.valid ? 1 : 0;
      return result.when;
    case kScheduleWeekly: result = ComputeWeekly(record, now); break;
    case kScheduleMonthly: result = ComputeMonthly(record, now); break;
    default: result = ComputeDaily(record, now); break;
  }
  if (result.valid && record.hasEndDate) {
    std::time_t endLimit = WallToTime(WallDayStart(ToWall(record.endDate)) + kWallDay - 1);
    if (result.when > endLimit) result.valid = false;
  }
  record.nextRunValid = result.valid ? 1 : 0;
  return result.when;
}

std::string FormatNextRun(ScheduleRecord& record, bool longForm, std::time_t now) {
  std::time_t next = ComputeNextRun(record, now);
  if (!record.nextRunValid) return LoadString(IDS_NEVER);
  std::tm t = LocalFields(next);
  char text[64];
  std::strftime(text, sizeof text, longForm ? "%Y-%m-%d %H:%M:%S" : "%H:%M %m/%d/%Y", &t);
  return text;
}

bool IsWeekdaySelected(const ScheduleRecord& record, int weekday) {
  if (weekday < 1 || weekday > 7) return false;
  // Sunday (1) is bit 6; Monday (2) ... Saturday (7) are bits 0 ... 5.
  int bit = weekday == 1 ? 6 : weekday - 2;
  return (record.weekdays >> bit) & 1;
}

bool IsMonthSelected(const ScheduleRecord& record, int month) {
  if (month < 1 || month > 12) return false;
  return (record.months >> (month - 1)) & 1;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // Months outside 1 ... 12 roll into the neighbouring years.
  int m = ((month - 1) % 12 + 12) % 12;
  year += (month - 1 - m) / 12;
  if (m == 1 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[m];
}

int NthWeekdayOfMonth(const ScheduleRecord& record, int year, int month) {
  // Weekdays numbered 1 Sunday ... 7 Saturday; dayOfWeek counts from Monday, other values Monday.
  int target = record.dayOfWeek >= 0 && record.dayOfWeek <= 5 ? record.dayOfWeek + 2 : record.dayOfWeek == 6 ? 1 : 2;
  // A week the pages do not offer counts as the first, as the schedule's sentence says it.
  const int week = record.weekOfMonth >= 0 && record.weekOfMonth <= 4 ? record.weekOfMonth : 0;
  if (week == 4) {
    int last = DaysInMonth(year, month);
    int lastWeekday = WallWeekday(WallFromCivil(year, month, last)) + 1;
    return last - lastWeekday + target - (target > lastWeekday ? 7 : 0);
  }
  int firstWeekday = WallWeekday(WallFromCivil(year, month, 1)) + 1;
  int first = target - firstWeekday + 1;
  if (first <= 0) first += 7;
  return first + 7 * week;
}

const char* ScheduleTypeName(std::int32_t type) {
  switch (type) {
    case kScheduleWeekly: return "Weekly";
    case kScheduleMonthly: return "Monthly";
    case kScheduleOnce: return "Once";
    default: return "Daily";
  }
}

std::int32_t ScheduleTypeFromName(const std::string& name) {
  for (std::int32_t type : {kScheduleWeekly, kScheduleMonthly, kScheduleOnce}) {
    if (name == ScheduleTypeName(type)) return type;
  }
  return kScheduleDaily;
}

const char* WeekdayName(std::int32_t dayOfWeek) {
  return LoadString(IDS_WEEKDAY_MONDAY + (dayOfWeek >= 0 && dayOfWeek < 7 ? dayOfWeek : 0));
}

const char* OrdinalName(std::int32_t weekOfMonth) {
  return LoadString(IDS_ORDINAL_FIRST + (weekOfMonth >= 0 && weekOfMonth < 5 ? weekOfMonth : 0));
}

std::string FormatMinuteKey(std::time_t when) {
  std::tm t = LocalFields(when);
  return FormatText("%d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
}

std::time_t MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
  return WallToTime(WallFromCivil(year, month, day) + hour * 3600LL + minute * 60LL + second);
}

std::tm LocalFields(std::time_t when) {
  std::tm t{};
  localtime_r(&when, &t);
  return t;
}

}  // namespace tarnwick
