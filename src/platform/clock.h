#pragma once

#include <chrono>

namespace quensary {

// The current time, injected so that time rules can be tested without sleeping. Intervals (the
// 3-second stable row, the engine's request delay, time-outs) are measured on the monotonic
// clock, which no one can set; the wall clock is read only for what a person reads (line Ids).
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using WallTimePoint = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  virtual WallTimePoint WallNow() const = 0;
};

class SystemClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  WallTimePoint WallNow() const override { return std::chrono::system_clock::now(); }
};

}  // namespace quensary
