#include "schedule/WallClock.h"

#include <algorithm>

namespace tarnwick {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

Wall WallOfFields(const std::tm& t) {
  return WallFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) + t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
}

std::tm FieldsOfWall(Wall wall) {
  // Invert DaysFromCivil by its companion algorithm.
  std::int64_t z = FloorDiv(wall, kWallDay) + 719468;
  std::int64_t secs = wall - FloorDiv(wall, kWallDay) * kWallDay;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  std::tm t{};
  t.tm_year = static_cast<int>(yoe + era * 400 + (m <= 2)) - 1900;
  t.tm_mon = static_cast<int>(m) - 1;
  t.tm_mday = static_cast<int>(d);
  t.tm_hour = static_cast<int>(secs / 3600);
  t.tm_min = static_cast<int>(secs / 60 % 60);
  t.tm_sec = static_cast<int>(secs % 60);
  return t;
}

}  // namespace

Wall WallFromCivil(int year, int month, int day) {
  std::int64_t m0 = month - 1;
  std::int64_t y = year + FloorDiv(m0, 12);
  unsigned m = static_cast<unsigned>(m0 - FloorDiv(m0, 12) * 12) + 1;
  return (DaysFromCivil(y, m, 1) + day - 1) * kWallDay;
}

Wall ToWall(std::time_t when) {
  std::tm t{};
  localtime_r(&when, &t);
  return WallOfFields(t);
}

std::time_t WallToTime(Wall wall) {
  const std::tm fields = FieldsOfWall(wall);
  // Try both offsets the zone may give this wall time; keep the earlier moment that shows it.
  bool found = false;
  std::time_t best = 0;
  for (int isdst : {-1, 0, 1}) {
    std::tm t = fields;
    t.tm_isdst = isdst;
    std::time_t candidate = std::mktime(&t);
    if (ToWall(candidate) == wall && (!found || candidate < best)) best = candidate, found = true;
  }
  if (found) return best;
  // The wall time falls into a skipped hour: the first moment whose wall value is not earlier.
  // Offsets stay within ±15 hours, and around a gap the wall value grows with the moment.
  std::time_t lo = static_cast<std::time_t>(wall - Wall{15} * 3600);
  std::time_t hi = static_cast<std::time_t>(wall + Wall{15} * 3600);
  while (lo < hi) {
    std::time_t mid = lo + (hi - lo) / 2;
    if (ToWall(mid) < wall) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

Wall WallDayStart(Wall wall) { return FloorDiv(wall, kWallDay) * kWallDay; }

int WallWeekday(Wall wall) {
  // 1970-01-01 was a Thursday.
  return static_cast<int>((FloorDiv(wall, kWallDay) % 7 + 7 + 4) % 7);
}

}  // namespace tarnwick
