#pragma once

#include <chrono>

namespace quensary {

// The current time. Injected so that time rules (the 3-second stable row, the engine's
// request delay, time-outs) can be tested without sleeping.
class Clock {
 public:
  using TimePoint = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::system_clock::now(); }
};

}  // namespace quensary
