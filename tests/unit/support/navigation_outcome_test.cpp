#include "support/navigation_outcome.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

using Event = NavigationOutcome::Event;
constexpr Event S = Event::kStarted, C = Event::kCommitted, F = Event::kFinished,
                B = Event::kFailedBeforeCommit, A = Event::kFailedAfterCommit;

TEST(NavigationOutcome, TheLoadStepRunsOncePerNavigationThatFinishesOrFailsAfterCommit) {
  // WebKit's events for one or more navigations, and after which of them the step runs.
  const std::pair<std::vector<Event>, std::vector<bool>> cases[] = {
      {{S, C, F}, {0, 0, 1}},                    // a page, or a 404 page
      {{S, B, F}, {0, 0, 0}},                    // refused before commit: never
      {{S, C, A, F}, {0, 0, 1, 0}},              // failed after commit: once, not twice
      {{S, C, B, F}, {0, 0, 1, 0}},              // a failure reported before commit, after it
      {{S, C, F, S, C, F}, {0, 0, 1, 0, 0, 1}},  // every navigation
      {{F, S, C, F, F}, {0, 0, 0, 1, 0}},        // stray finishes say nothing new
  };
  for (const auto& [events, runs] : cases) {
    NavigationOutcome outcome;
    for (size_t i = 0; i < events.size(); ++i)
      EXPECT_EQ(outcome.OnEvent(events[i]), runs[i]) << i;
  }
}

TEST(NavigationOutcome, AFirstLoadThatDoesNotCommitInTimeIsGivenUpOnce) {
  bool arm = false;
  NavigationOutcome silent;
  silent.ExpectFirstLoad();
  silent.OnEvent(S, &arm);
  EXPECT_TRUE(arm) << "from the reported start";
  silent.OnEvent(S, &arm);
  EXPECT_FALSE(arm) << "once only";
  EXPECT_TRUE(silent.FirstLoadTimedOut());
  EXPECT_FALSE(silent.FirstLoadTimedOut());

  NavigationOutcome committed;
  committed.ExpectFirstLoad();
  committed.OnEvent(S, &arm);
  committed.OnEvent(C);
  EXPECT_FALSE(committed.FirstLoadTimedOut());
  NavigationOutcome never_asked;
  never_asked.OnEvent(S, &arm);
  EXPECT_FALSE(arm);
}

}  // namespace
}  // namespace quensary
