#pragma once

#include <mutex>

#include "platform/clock.h"

namespace quensary::testing {

// A clock that only moves when the test says so. Starts at a fixed, realistic date.
class TestClock final : public Clock {
 public:
  TestClock()
      : now_(std::chrono::sys_days{std::chrono::year{2026} / 3 / 14} + std::chrono::hours{9}) {}

  TimePoint Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void Set(TimePoint now) {
    std::lock_guard lock(mutex_);
    now_ = now;
  }
  void Advance(std::chrono::microseconds by) {
    std::lock_guard lock(mutex_);
    now_ += by;
  }

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
};

}  // namespace quensary::testing
