#pragma once

#include <chrono>
#include <optional>

#include "platform/clock.h"

namespace quensary {

// How long to wait before bringing back something that died (a page whose web process was
// killed): soon the first time, but a crash loop must not become a busy loop. The first
// restart waits kFirstDelay; each crash that follows within kQuietPeriod of the previous restart
// doubles the wait, up to kLongestDelay; a quiet period starts the count again.
class RestartBackoff {
 public:
  static constexpr std::chrono::milliseconds kFirstDelay{500};
  static constexpr std::chrono::milliseconds kLongestDelay{30'000};
  static constexpr std::chrono::milliseconds kQuietPeriod{60'000};

  // The wait before restarting after a crash at `now`.
  std::chrono::milliseconds NextDelay(Clock::TimePoint now);

 private:
  std::optional<Clock::TimePoint> last_restart_;
  std::chrono::milliseconds delay_{0};
};

}  // namespace quensary
