#include "support/restart_backoff.h"

#include <algorithm>

namespace quensary {

std::chrono::milliseconds RestartBackoff::NextDelay(Clock::TimePoint now) {
  const bool quiet = !last_restart_ || now - *last_restart_ >= kQuietPeriod;
  delay_ = quiet ? kFirstDelay : std::min(delay_ * 2, kLongestDelay);
  last_restart_ = now + delay_;
  return delay_;
}

}  // namespace quensary
