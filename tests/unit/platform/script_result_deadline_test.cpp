#include "platform/script_result_deadline.h"

#include <gtest/gtest.h>

#include "fakes/manual_main_queue.h"
#include "fakes/test_clock.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

class ScriptResultDeadline : public ::testing::Test {
 protected:
  ScriptTarget::TextCallback Call() {
    return WithResultDeadline(queue, 30s, [this](std::string r) { results.push_back(r); });
  }
  testing::TestClock clock;
  testing::ManualMainQueue queue{&clock};
  std::vector<std::string> results;
};

TEST_F(ScriptResultDeadline, TheFirstOfAnswerAndTimeOutWinsAndTheOtherIsIgnored) {
  auto answered = Call();
  auto waiting = Call();
  answered("hola");
  clock.Advance(29s);
  queue.RunPending();
  EXPECT_EQ(results, (std::vector<std::string>{"hola"}));
  clock.Advance(1s);
  queue.RunPending();
  answered("again");
  waiting("too late");
  EXPECT_EQ(results, (std::vector<std::string>{"hola", ""}));
}

TEST_F(ScriptResultDeadline, AnAnsweredCallLeavesNoTimerAndReleasesWhatItHeld) {
  auto held = std::make_shared<int>(1);
  std::weak_ptr<int> watch = held;
  WithResultDeadline(queue, 30s, [held = std::move(held)](std::string) {})("x");
  EXPECT_TRUE(watch.expired());
  for (int i = 0; i < 10000; ++i)
    Call()("answer");
  EXPECT_EQ(queue.PendingCount(), 0u);
  EXPECT_EQ(results.size(), 10000u);
}

}  // namespace
}  // namespace quensary
