#include "platform/script_result_deadline.h"

#include <gtest/gtest.h>

#include "fakes/manual_main_queue.h"
#include "fakes/test_clock.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

TEST(ScriptResultDeadline, ResultBeforeTheDeadlineWinsAndTheTimeOutIsIgnored) {
  testing::TestClock clock;
  testing::ManualMainQueue queue(&clock);
  std::vector<std::string> results;
  auto deliver = WithResultDeadline(queue, 30s, [&](std::string r) { results.push_back(r); });
  deliver("hola");
  clock.Advance(31s);
  queue.RunPending();
  deliver("late");
  EXPECT_EQ(results, (std::vector<std::string>{"hola"}));
}

TEST(ScriptResultDeadline, NoResultEndsWithTheEmptyTextAfterTheTimeOutOnly) {
  testing::TestClock clock;
  testing::ManualMainQueue queue(&clock);
  std::vector<std::string> results;
  auto deliver = WithResultDeadline(queue, 30s, [&](std::string r) { results.push_back(r); });
  clock.Advance(29s);
  queue.RunPending();
  EXPECT_TRUE(results.empty());
  clock.Advance(1s);
  queue.RunPending();
  deliver("too late");
  EXPECT_EQ(results, (std::vector<std::string>{""}));
}

TEST(ScriptResultDeadline, CallbackIsReleasedOnceItHasRun) {
  testing::TestClock clock;
  testing::ManualMainQueue queue(&clock);
  auto held = std::make_shared<int>(1);
  std::weak_ptr<int> watch = held;
  auto deliver = WithResultDeadline(queue, 30s, [held = std::move(held)](std::string) {});
  deliver("x");
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace quensary
