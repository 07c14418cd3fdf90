// The program's wall clock. Everything that asks for "now" goes through a Clock, so schedules
// and the monitor can be driven at fixed moments.
#pragma once

#include <ctime>

namespace tarnwick {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since the epoch; local wall-clock values are derived with localtime_r.
  virtual std::time_t Now() const = 0;
};

class SystemClock : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

// A clock that stays where it is set; for tests and simulations.
class FixedClock : public Clock {
 public:
  explicit FixedClock(std::time_t now = 0) : now_(now) {}
  std::time_t Now() const override { return now_; }
  void Set(std::time_t now) { now_ = now; }
  void Advance(std::time_t seconds) { now_ += seconds; }

 private:
  std::time_t now_;
};

}  // namespace tarnwick
