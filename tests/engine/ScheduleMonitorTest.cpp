#include <ctime>

#include <gtest/gtest.h>

#include "engine/ScheduleMonitor.h"

namespace tarnwick::test {
namespace {

// Which seconds a tick of the headless monitor looks at, given the second of the tick before.
TEST(FirstSecondToTickTest, EverySecondIsSeenOnceAndAJumpedClockTicksAtOnce) {
  const std::time_t last = 1709632800;  // 2024-03-05 10:00:00 UTC
  EXPECT_EQ(FirstSecondToTick(last, last + 1), last + 1);
  EXPECT_EQ(FirstSecondToTick(last, last + 5), last + 1) << "a late tick walks the seconds it missed";
  EXPECT_GT(FirstSecondToTick(last, last), last) << "a second wake in the same second ticks nothing";
  EXPECT_EQ(FirstSecondToTick(last, last + 3600), last + 3600) << "after a long gap only the present";
  // A clock set back an hour: the monitor goes on ticking from the new time instead of waiting for
  // the old one to come round again.
  EXPECT_EQ(FirstSecondToTick(last, last - 3600), last - 3600);
  EXPECT_EQ(FirstSecondToTick(last, last - 1), last - 1);
}

}  // namespace
}  // namespace tarnwick::test
