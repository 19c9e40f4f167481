#include "pipeline/line_id_maker.h"

#include <gtest/gtest.h>

#include "fakes/test_clock.h"

namespace quensary {
namespace {

using namespace std::chrono;
using testing::TestClock;

TEST(LineIdMaker, TextOrderFollowsTimeOrderToTheMicrosecond) {
  const auto base = sys_days{year{2026} / 12 / 31} + hours{23} + minutes{59} + seconds{58};
  // Steps that cross digit, second, minute, hour, day and year boundaries.
  const std::vector<microseconds> offsets{
      microseconds{0},       microseconds{1},       microseconds{9},       microseconds{10},
      microseconds{999999},  microseconds{1000000}, microseconds{1000001}, microseconds{1999999},
      microseconds{2000000}, seconds{61},           hours{1} + seconds{3}, hours{25}};
  std::string previous;
  for (const auto offset : offsets) {
    const std::string text = LineIdMaker::Format(base + offset);
    EXPECT_LT(previous, text) << "at offset " << offset.count();
    previous = text;
  }
}

TEST(LineIdMaker, AFrozenClockStillGivesIncreasingIds) {
  auto clock = std::make_shared<TestClock>();
  LineIdMaker ids(clock);
  const std::string first = ids.Next();
  EXPECT_EQ(first, LineIdMaker::Format(clock->Now()));
  std::string previous = first;
  for (int i = 0; i < 25; ++i) {  // more than ten, so a final 9 has to be handled
    const std::string next = ids.Next();
    EXPECT_LT(previous, next);
    previous = next;
  }
  // A later clock reading that falls among the advanced texts is advanced as well.
  clock->Advance(microseconds{3});
  const std::string after = ids.Next();
  EXPECT_LT(previous, after);
  // Once the clock has passed them, Ids are plain clock texts again.
  clock->Advance(seconds{1});
  EXPECT_EQ(ids.Next(), LineIdMaker::Format(clock->Now()));
}

TEST(LineIdMaker, AClockSetBackDoesNotGoBackInIds) {
  auto clock = std::make_shared<TestClock>();
  LineIdMaker ids(clock);
  const std::string before = ids.Next();
  clock->Advance(-hours{1});
  const std::string after = ids.Next();
  EXPECT_LT(before, after);
  // Still in the same second as the last real reading: it only moved by the smallest step.
  EXPECT_EQ(after.substr(0, after.size() - 1), before.substr(0, before.size() - 1));
}

}  // namespace
}  // namespace quensary
