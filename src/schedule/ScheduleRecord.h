// A profile's schedule, its next run time and the helpers around it. Times are seconds since the
// epoch; every calendar step is taken on local wall-clock values, so a 10:00 run stays at 10:00
// across daylight-saving changes.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tarnwick {

enum ScheduleType : std::int32_t {
  kScheduleDaily = 0,
  kScheduleWeekly = 1,
  kScheduleMonthly = 2,
  kScheduleOnce = 3,
};

// The local time 2030-02-06 00:00:00, the placeholder next run of a fresh record.
std::time_t DefaultNextRun();

// A plain value, copied whole between the editor, the profile file and the monitor. The four
// "now" times are 0 until ResetSchedule gives them the moment it is passed.
struct ScheduleRecord {
  std::int32_t nextRunValid = 1;
  std::int32_t type = kScheduleDaily;
  std::time_t startTime = 0;  // only hour and minute are used
  std::int32_t dailyInterval = 1;
  std::int32_t weeklyInterval = 1;
  std::int32_t weekdays = 1;  // bit 0 Monday ... bit 6 Sunday
  std::int32_t monthlyByWeekday = 0;
  std::int32_t dayOfMonth = 1;
  std::int32_t weekOfMonth = 0;  // 0 first ... 3 fourth, 4 last
  std::int32_t dayOfWeek = 0;    // 0 Monday ... 6 Sunday
  std::int32_t months = 0xFFF;   // bit 0 January ... bit 11 December
  std::time_t onceDate = 0;      // date part used
  std::time_t startDate = 0;     // date part used
  std::time_t endDate = 0;       // date part used
  std::int32_t hasEndDate = 0;
  std::int32_t hasStartDate = 0;
  std::int32_t repeat = 0;
  std::int32_t repeatInterval = 0;
  std::int32_t repeatUnit = 0;      // 0 minutes, 1 hours; ResetSchedule leaves it alone
  std::int32_t repeatDuration = 0;  // minutes
  std::string lastRunStamp;         // "%d%02d%02d%02d%02d" minute key
  bool enabled = false;
  std::string profilePath;
  std::time_t nextRun = DefaultNextRun();
};

// Every field to its default except repeatUnit; `now` fills startTime, onceDate, startDate, endDate.
void ResetSchedule(ScheduleRecord& record, std::time_t now);

// The next run after `now` (local rules of the current TZ). Sets only `nextRunValid`; the caller
// stores the result into `nextRun` when it wants to keep it.
std::time_t ComputeNextRun(ScheduleRecord& record, std::time_t now);

// ComputeNextRun's result as text: "Never" when there is none, "%Y-%m-%d %H:%M:%S" in the long
// form (lists), "%H:%M %m/%d/%Y" in the short one (profile editor).
std::string FormatNextRun(ScheduleRecord& record, bool longForm, std::time_t now);

// weekday 1 Sunday ... 7 Saturday; other values false.
bool IsWeekdaySelected(const ScheduleRecord& record, int weekday);
// month 1 ... 12; other values false.
bool IsMonthSelected(const ScheduleRecord& record, int month);
// The month's length, 28 to 31.
int DaysInMonth(int year, int month);
// Day of the month of the weekOfMonth-th dayOfWeek (the last one for weekOfMonth 4; other values
// count as the first, as OrdinalName names them).
int NthWeekdayOfMonth(const ScheduleRecord& record, int year, int month);

// "Daily", "Weekly", "Monthly", "Once"; other values give "Daily".
const char* ScheduleTypeName(std::int32_t type);
// The type for a stored name; anything unknown counts as Daily.
std::int32_t ScheduleTypeFromName(const std::string& name);
// "Monday" ... "Sunday" for 0 ... 6; other values give "Monday".
const char* WeekdayName(std::int32_t dayOfWeek);
// "first", "second", "third", "fourth", "last" for 0 ... 4; other values give "first".
const char* OrdinalName(std::int32_t weekOfMonth);

// The minute key of `when`: "%d%02d%02d%02d%02d" (year, month, day, hour, minute), local time.
std::string FormatMinuteKey(std::time_t when);

// Local wall-clock conversions shared by the profile file and the pages. MakeLocalTime takes
// month 1 ... 12 and normalises out-of-range fields; a time that does not exist on a
// spring-forward day becomes the first valid moment after it.
std::time_t MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
std::tm LocalFields(std::time_t when);

// The sentence of the schedule page. `hour` and `minute` come from the start-time picker,
// `onceDate` from the once-date picker. A Daily or Weekly schedule with interval 0 leaves
// `sentence` as it was and returns false.
bool DescribeSchedule(const ScheduleRecord& record, int hour, int minute, std::time_t onceDate, std::string& sentence);

}  // namespace tarnwick
