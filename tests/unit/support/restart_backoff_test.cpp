#include "support/restart_backoff.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

using namespace std::chrono_literals;

TEST(RestartBackoff, DoublesWhileCrashesFollowEachOtherAndStartsAgainAfterAQuietMinute) {
  RestartBackoff backoff;
  Clock::TimePoint now{1000h};
  // Seconds since the previous crash (each right after the restart), and the wait expected.
  const std::pair<std::chrono::milliseconds, std::chrono::milliseconds> steps[] = {
      {0ms, 500ms},      {600ms, 1000ms},   {1100ms, 2000ms},   {2100ms, 4000ms},
      {4100ms, 8000ms},  {8100ms, 16000ms}, {16100ms, 30000ms}, {30100ms, 30000ms},
      {90'100ms, 500ms},  // a minute of quiet after the last restart
  };
  for (const auto& [after, wait] : steps) {
    now += after;
    EXPECT_EQ(backoff.NextDelay(now), wait) << after.count();
  }
}

}  // namespace
}  // namespace quensary
