#include "pipeline/caption_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <sstream>
#include <thread>

#include "fakes/core_fixture.h"
#include "fakes/fake_accessibility.h"
#include "pipeline/caption_source_switch.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Waits (bounded) for a condition that another thread makes true.
bool WaitFor(const std::function<bool()>& condition) {
  for (const auto give_up = Steady::now() + 60s; !condition(); std::this_thread::sleep_for(1ms))
    if (Steady::now() > give_up)
      return false;
  return true;
}

using CaptionWorkerTest = testing::CoreFixture;

TEST_F(CaptionWorkerTest, AnEventChangesTheListAtOnceAndIsTranslatedOnTheMainThread) {
  Activate(1, 10'000);
  auto worker = MakeWorker(nullptr, 1h);
  worker->ApplyCaption("Good", false);
  worker->ApplyCaption("Good night.", true);
  EXPECT_EQ(Listed(), std::vector<std::string>{"Good night.|done"});
  EXPECT_TRUE(AsyncScripts().empty()) << "nothing reaches a page until the main thread runs";
  queue->RunPending();
  // Within the Delay the open text is dropped; the finished one is forced through.
  ASSERT_EQ(AsyncScripts().size(), 1u);
  EXPECT_EQ(testing::CallArguments(AsyncScripts()[0])[0], "Good night.");
  worker->SetTranslationRequest(nullptr);
  worker->ApplyCaption("Alone", false);
  EXPECT_EQ(queue->RunPending(), 0u) << "without a request path events only change the list";
}

// A pushed source wakes the worker for every text, and a row pushed up by a new one is finished
// on one poll and the new row is seen on the next: both polls come at once, not an interval later,
// and the one after them waits again. A flood of wake-ups must still leave the floor between polls.
TEST_F(CaptionWorkerTest, AWakeOrAFinishedRowPollsAtOnceButAFloodKeepsTheFloor) {
  std::atomic<int> reads{0};
  auto worker = MakeWorker(
      [&] { return ++reads, "Hello there." + std::string(CaptionSeparator) + "How"; }, 1h);
  worker->Start();
  worker->Wake();
  ASSERT_TRUE(WaitFor([&] { return reads == 2; })) << "neither waits for the interval";
  std::this_thread::sleep_for(10 * CaptionWorker::kWakeFloor);
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Hello there.|done", "How|open"}));
  const auto flood = Steady::now();
  while (Steady::now() < flood + 300ms)
    worker->Wake();
  const int polls = reads - 2;
  EXPECT_LE(polls, 300 / CaptionWorker::kWakeFloor.count() + 1);
  EXPECT_GE(polls, 2);
}

class FakeCaptionStream final : public CaptionStream {
 public:
  CaptionStreamState State() const override {
    std::lock_guard lock(mutex);
    return state;
  }
  std::string Text() const override { return "Pushed text."; }
  std::vector<std::string> TakeTexts() override { return {Text()}; }
  void SetOnText(std::function<void()> on_text) override { pushed = std::move(on_text); }

  mutable std::mutex mutex;
  CaptionStreamState state;  // guarded by mutex
  std::function<void()> pushed;
};

// Pushed text polls at once only while the stream is the source read, and the caption
// provider's change notices only while its window is read; each source keeps its own poll.
TEST_F(CaptionWorkerTest, PushedTextAndProviderNoticesWakeTheWorkerForTheSourceRead) {
  auto stream = std::make_shared<FakeCaptionStream>();
  testing::FakeAccessibility accessibility;
  CaptionSourceSwitch sources([] { return std::optional<std::string>("Window text."); }, stream,
                              settings, clock);
  std::atomic<int> reads{0};
  std::string last_read;  // written by the worker before `reads` counts the read
  auto worker = std::shared_ptr<CaptionWorker>(MakeWorker(
      [&] {
        last_read = sources.ReadText();
        return ++reads, last_read;
      },
      1h));
  sources.WakeOnStreamText(worker);
  sources.WakeOnProviderChanges(accessibility, worker);
  worker->Start();
  const struct {
    const char* mode;
    bool active;
    std::chrono::seconds since_text;
    bool stream_read;
  } cases[] = {{"auto", true, 0s, true},
               {"auto", false, 5s, true},  // recent text keeps the stream chosen
               {"auto", false, 11s, false},
               {"accessibility", true, 0s, false},
               {"stream", false, 60s, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + (c.active ? " active" : " inactive"));
    settings->SetCaptionSource(c.mode);
    {
      std::lock_guard lock(stream->mutex);
      stream->state = {true, c.active, clock->Now()};
    }
    clock->Advance(c.since_text);
    for (const bool pushed : {true, false}) {
      const int before = reads;
      (pushed ? stream->pushed : accessibility.on_change)();
      if (pushed == c.stream_read) {
        ASSERT_TRUE(WaitFor([&] { return reads > before; }));
        EXPECT_EQ(last_read, c.stream_read ? "Pushed text." : "Window text.");
      } else {
        // Past the wake floor many times over: a wake would have polled by now.
        std::this_thread::sleep_for(10 * CaptionWorker::kWakeFloor);
        EXPECT_EQ(reads, before) << (pushed ? "pushed text" : "provider notice");
      }
    }
  }
}

// The caption window counts as missing only after the reads missed it for a while (a provider
// slow to answer is not gone), and each change of what the page is told is told once.
TEST_F(CaptionWorkerTest, AMissingCaptionWindowIsToldAfterTheGraceAndAReturnAtOnce) {
  auto stream = std::make_shared<FakeCaptionStream>();
  bool window = false;
  CaptionSourceSwitch sources(
      [&]() -> std::optional<std::string> {
        return window ? std::optional<std::string>("") : std::nullopt;
      },
      stream, settings, clock);
  std::vector<CaptionSourceReason> told;
  sources.SetOnChoiceChanged([&](CaptionSourceChoice choice) { told.push_back(choice.reason); });
  using Reason = CaptionSourceReason;
  EXPECT_EQ(sources.Choice().reason, Reason::kNoStream) << "before the first read";
  const struct {
    bool window;
    std::chrono::seconds later;
    Reason reason;
  } reads[] = {{false, 0s, Reason::kNoSource}, {true, 1s, Reason::kNoStream},
               {false, 1s, Reason::kNoStream}, {false, 2s, Reason::kNoStream},
               {false, 1s, Reason::kNoSource}, {false, 1s, Reason::kNoSource},
               {true, 0s, Reason::kNoStream}};
  for (const auto& r : reads) {
    window = r.window;
    clock->Advance(r.later);
    sources.ReadText();
    EXPECT_EQ(sources.Choice().reason, r.reason);
  }
  EXPECT_EQ(told, (std::vector<Reason>{Reason::kNoSource, Reason::kNoStream, Reason::kNoSource,
                                       Reason::kNoStream}));
}

// The worker polls and upserts on its own thread while the main thread runs the translation
// requests, applies their answers and deletes lines. Every sentence must end up exactly once (or
// be gone when deleted), translated, and nothing may deadlock. Run under ThreadSanitizer too.
TEST_F(CaptionWorkerTest, WorkerAndMainThreadShareTheLinesWithoutLossOrDuplication) {
  constexpr int kSentences = 300;
  const auto sentence = [](int i) {
    char text[32];
    std::snprintf(text, sizeof text, "sentence %04d", i);
    return std::string(text);
  };
  // Read c shows S((c-1)/2) and S((c+1)/2): each sentence appears open, then is pushed up and
  // finished. Reads after the last give nothing; reads never overlap.
  std::atomic<int> reads{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  auto worker = MakeWorker(
      [&] {
        overlapped = overlapped || ++inside > 1;
        const int c = reads++;
        --inside;
        if (c >= 2 * kSentences)
          return std::string();
        return c == 0
                   ? sentence(0)
                   : sentence((c - 1) / 2) + std::string(CaptionSeparator) + sentence((c + 1) / 2);
      },
      1ms);
  Activate(1, 0);
  std::set<std::string> deleted;
  worker->Start();
  worker->Start();  // does nothing
  int deleted_at = 0;
  ASSERT_TRUE(WaitFor([&] {
    queue->RunPending(8);
    // Now and then (every 16 reads, however fast the worker goes), delete a finished line from
    // the middle.
    if (const int now = reads; now / 16 > deleted_at / 16) {
      deleted_at = now;
      std::optional<std::pair<std::string, std::string>> victim;  // its Id and text
      {
        auto held = lines->LineLock();
        const auto& list = lines->LineList(held);
        if (list.size() > 2 && list[list.size() / 2]->Finish)
          victim.emplace(list[list.size() / 2]->Id, list[list.size() / 2]->Ori);
      }
      if (victim && deleted.insert(victim->second).second)
        lines->DeleteLines(victim->first);
    }
    // Two reads past the last event: its ApplyCaption has certainly returned.
    return reads >= 2 * kSentences + 2;
  }));
  worker.reset();
  queue->RunPending();
  EXPECT_FALSE(overlapped.load());
  ASSERT_GT(deleted.size(), 5u);
  std::vector<std::string> expected;  // every sentence not deleted, in order
  for (int i = 0; i < kSentences; ++i)
    if (!deleted.contains(sentence(i)))
      expected.push_back(sentence(i));
  {
    auto held = lines->LineLock();
    const auto& list = lines->LineList(held);
    for (size_t i = 0, offset = expected.size() - list.size(); i < list.size(); ++i) {
      EXPECT_EQ(list[i]->Ori + list[i]->Tar, expected[offset + i] + "es:" + expected[offset + i]);
      EXPECT_TRUE(i == 0 || list[i - 1]->Id < list[i]->Id);
    }
  }
  // The history: each remaining sentence exactly once, finished and translated.
  std::promise<std::optional<std::string>> exported;
  history->ExportText(CopyMode::kBoth, [&](auto text) { exported.set_value(std::move(text)); });
  std::istringstream blocks(exported.get_future().get().value_or(""));
  std::vector<std::string> stored;
  for (std::string id, ori, tar, gap; std::getline(blocks, id) && std::getline(blocks, ori) &&
                                      std::getline(blocks, tar) && std::getline(blocks, gap);) {
    EXPECT_EQ(tar, "es:" + ori);
    stored.push_back(ori);
  }
  EXPECT_EQ(stored, expected);
}

}  // namespace
}  // namespace quensary
