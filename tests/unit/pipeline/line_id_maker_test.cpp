#include "pipeline/line_id_maker.h"

#include <gtest/gtest.h>

#include "fakes/test_clock.h"
#include "history/line_time.h"

namespace quensary {
namespace {

using namespace std::chrono;

TEST(LineIdMaker, TextOrderFollowsTimeOrderToTheMicrosecondAndTheTimeReadsBack) {
  const auto base = sys_days{year{2026} / 12 / 31} + hours{23} + minutes{59} + seconds{58};
  // Steps that cross digit, second, minute, hour, day and year boundaries.
  std::string previous;
  for (const microseconds offset :
       {microseconds{0}, microseconds{1}, microseconds{9}, microseconds{10}, microseconds{999999},
        microseconds{1000000}, microseconds{1999999}, microseconds{2000000},
        duration_cast<microseconds>(seconds{61}), duration_cast<microseconds>(hours{25})}) {
    const std::string text = LineIdMaker::Format(base + offset);
    EXPECT_LT(previous, text) << offset.count();
    // The transcript reads the time back from the Id text.
    EXPECT_EQ(LineIdTime(text).value() - LineIdTime(LineIdMaker::Format(base)).value(), offset);
    previous = text;
  }
}

TEST(LineIdMaker, IdsKeepIncreasingWhenTheClockStandsStillOrIsSetBack) {
  auto clock = std::make_shared<testing::TestClock>();
  LineIdMaker ids(clock);
  std::string previous = ids.Next();
  EXPECT_EQ(previous, LineIdMaker::Format(clock->WallNow()));
  for (int i = 0; i < 25; ++i) {  // more than ten, so a final 9 has to be handled
    const std::string next = ids.Next();
    EXPECT_LT(previous, next);
    previous = next;
  }
  clock->JumpWall(-hours{1});
  const std::string after = ids.Next();
  EXPECT_LT(previous, after);
  // Still in the same second as the last real reading: it only moved by the smallest step.
  EXPECT_EQ(after.substr(0, 19), previous.substr(0, 19));
  // Once the clock has passed them, Ids are plain clock texts again.
  clock->JumpWall(hours{1} + seconds{1});
  EXPECT_EQ(ids.Next(), LineIdMaker::Format(clock->WallNow()));
}

}  // namespace
}  // namespace quensary
