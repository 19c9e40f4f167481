#pragma once

#include <chrono>
#include <mutex>

#include "platform/clock.h"

namespace quensary::testing {

// A clock that only moves when the test says so. The wall clock starts at a fixed, realistic
// date; it can also jump on its own, as when someone sets the system time.
class TestClock final : public Clock {
 public:
  TimePoint Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  WallTimePoint WallNow() const override {
    std::lock_guard lock(mutex_);
    return wall_;
  }
  // Time passes: both clocks move.
  void Advance(std::chrono::microseconds by) {
    std::lock_guard lock(mutex_);
    now_ += by;
    wall_ += by;
  }
  // The wall clock is set forward or back; no time passes.
  void JumpWall(std::chrono::microseconds by) {
    std::lock_guard lock(mutex_);
    wall_ += by;
  }

 private:
  mutable std::mutex mutex_;
  TimePoint now_{std::chrono::hours(1000)};
  WallTimePoint wall_{std::chrono::sys_days{std::chrono::year{2026} / 3 / 14} +
                      std::chrono::hours{9}};
};

}  // namespace quensary::testing
