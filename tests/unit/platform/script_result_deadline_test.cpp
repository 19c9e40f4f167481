#include "platform/script_result_deadline.h"

#include <gtest/gtest.h>

#include "fakes/manual_main_queue.h"
#include "fakes/test_clock.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

// The deadline's own ends (the first of answer and time-out wins) show in the request path's
// tests; here, what thousands of answered calls leave behind.
TEST(ScriptResultDeadline, AnAnsweredCallLeavesNoTimerAndReleasesWhatItHeld) {
  testing::TestClock clock;
  testing::ManualMainQueue queue{&clock};
  auto held = std::make_shared<int>(1);
  std::weak_ptr<int> watch = held;
  WithResultDeadline(queue, 30s, [held = std::move(held)](std::string) {})("x");
  EXPECT_TRUE(watch.expired());
  int answered = 0;
  for (int i = 0; i < 10000; ++i)
    WithResultDeadline(queue, 30s, [&](std::string) { ++answered; })("answer");
  EXPECT_EQ(queue.PendingCount(), 0u);
  EXPECT_EQ(answered, 10000);
}

}  // namespace
}  // namespace quensary
