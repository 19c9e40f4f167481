#include "pipeline/paced_page_call.h"

#include <gtest/gtest.h>

#include "fakes/manual_main_queue.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

TEST(PacedPageCall, TheFirstGoesAtOnceThenOnlyTheNewestAtTheEndOfEachInterval) {
  struct Step {
    std::chrono::milliseconds after;
    const char* offered;  // nothing offered for null
    std::vector<std::string> sent;
    size_t stream = 0;
    int hold = 0;  // before the offer: 1 holds, -1 releases
  };
  testing::TestClock clock;
  auto queue = std::make_shared<testing::ManualMainQueue>(&clock);
  std::vector<std::string> sent;
  auto paced = std::make_shared<PacedPageCall>(
      queue, 500ms, [&](const std::string& call) { sent.push_back(call); });
  for (const Step& step : std::initializer_list<Step>{
           {0ms, "a", {"a"}},
           {100ms, "b", {"a"}},
           {100ms, "c", {"a"}},
           {300ms, nullptr, {"a", "c"}},  // the interval ends: the newest goes, another begins
           {400ms, "d", {"a", "c"}},
           {100ms, nullptr, {"a", "c", "d"}},
           {500ms, nullptr, {"a", "c", "d"}},  // a quiet interval ends with nothing to send
           {100ms, "e", {"a", "c", "d", "e"}},
           {100ms, "S", {"a", "c", "d", "e"}, 1},  // another stream waits for the same end
           {100ms, "f", {"a", "c", "d", "e"}},
           {300ms, nullptr, {"a", "c", "d", "e", "f", "S"}},
           {600ms, "g", {"a", "c", "d", "e", "f", "S"}, 0, 1},  // held: kept, even when idle
           {600ms, "h", {"a", "c", "d", "e", "f", "S"}},
           {0ms, nullptr, {"a", "c", "d", "e", "f", "S", "h"}, 0, -1}}) {  // released: at once
    clock.Advance(step.after);
    if (step.hold)
      paced->SetHeld(step.hold > 0);
    if (step.offered)
      paced->Offer([text = std::string(step.offered)] { return text; }, step.stream);
    queue->RunPending();
    EXPECT_EQ(sent, step.sent) << step.after.count() << " " << (step.offered ? step.offered : "");
  }
}

}  // namespace
}  // namespace quensary
