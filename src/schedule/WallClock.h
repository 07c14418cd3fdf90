// Local wall-clock values: the local year, month, day and time of day packed as seconds as if
// the local clock never jumped. Calendar arithmetic (adding days, counting whole days or minutes)
// is done on these, and only the final moment is mapped back to real time.
#pragma once

#include <cstdint>
#include <ctime>

namespace tarnwick {

using Wall = std::int64_t;
constexpr Wall kWallDay = 86400;

// Year, month 1 ... 12 (others roll over) and day (any value; it rolls over) at midnight.
Wall WallFromCivil(int year, int month, int day);
// The local wall value of a moment (current TZ rules).
Wall ToWall(std::time_t when);
// The moment a wall value stands for. A value that occurs twice (the repeated autumn hour) gives
// the earlier moment; one that never occurs (the skipped spring hour) the first valid moment after it.
std::time_t WallToTime(Wall wall);
// Midnight of the wall value's day.
Wall WallDayStart(Wall wall);
// Weekday of the wall value's day, 0 Sunday ... 6 Saturday.
int WallWeekday(Wall wall);

}  // namespace tarnwick
