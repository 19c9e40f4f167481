#include "pipeline/caption_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <sstream>
#include <thread>

#include "fakes/core_fixture.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) for a condition that another thread makes true.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds limit = 30s) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up)
      return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class CaptionWorkerTest : public testing::CoreFixture {
 protected:
  std::unique_ptr<CaptionWorker> MakeWorker(SentenceTracker::CaptionTextSource source,
                                            std::chrono::milliseconds interval) {
    auto worker = std::make_unique<CaptionWorker>(
        std::make_unique<SentenceTracker>(std::move(source), clock), lines, queue, interval);
    worker->SetTranslationRequest([r = requests](std::string id, std::string text, bool finish,
                                                 bool force) {
      r->RequestTranslation(std::move(id), std::move(text), finish, force);
    });
    return worker;
  }
};

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
  EXPECT_EQ(Stored(), std::vector<std::string>{"Good night."});

  worker->SetTranslationRequest(nullptr);
  worker->ApplyCaption("Alone", false);
  EXPECT_EQ(queue->RunPending(), 0u) << "without a request path events only change the list";
}

TEST_F(CaptionWorkerTest, PollsOneIntervalAfterStartThenRepeatedlyOnOneThreadOnly) {
  std::atomic<int> reads{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::atomic<std::chrono::steady_clock::time_point::rep> first_read{0};
  auto worker = MakeWorker(
      [&] {
        if (++inside > 1)
          overlapped = true;
        if (reads == 0)
          first_read = std::chrono::steady_clock::now().time_since_epoch().count();
        --inside;
        return "row " + std::to_string(++reads);  // a new bottom row on every read
      },
      20ms);
  const auto started = std::chrono::steady_clock::now();
  worker->Start();
  worker->Start();
  ASSERT_TRUE(WaitFor([&] { return reads.load() >= 20; }));
  worker.reset();  // wakes the sleep and waits for the tick in progress
  EXPECT_GE(std::chrono::steady_clock::duration(first_read.load()),
            started.time_since_epoch() + 20ms);
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(Listed().size(), 1u);  // one open line, rewritten on every tick
}

// The worker upserts on its own thread while the main thread runs the translation requests,
// applies their answers and deletes lines. Every sentence must end up exactly once (or be gone
// when deleted), translated, and nothing may deadlock. Run under ThreadSanitizer too.
TEST_F(CaptionWorkerTest, WorkerAndMainThreadShareTheLinesWithoutLossOrDuplication) {
  constexpr int kSentences = 300;
  auto sentence = [](int i) {
    char text[32];
    std::snprintf(text, sizeof text, "sentence %04d", i);
    return std::string(text);
  };
  // Read c shows S((c-1)/2) and S((c+1)/2): each sentence first appears open, then is pushed up
  // and finished. Reads after the last give nothing.
  std::atomic<int> reads{0};
  auto worker = MakeWorker(
      [&] {
        const int c = reads.fetch_add(1);
        if (c >= 2 * kSentences)
          return std::string();
        return c == 0 ? sentence(0)
                      : sentence((c - 1) / 2) + std::string(CaptionSeparator) + sentence((c + 1) / 2);
      },
      1ms);
  Activate(1, 0);
  std::set<std::string> deleted;
  int deleted_at = 0;
  worker->Start();
  // Two reads past the last event: its ApplyCaption has certainly returned.
  ASSERT_TRUE(WaitFor([&] {
    queue->RunPending(8);
    if (reads.load() - deleted_at >= 16) {
      deleted_at = reads.load();
      std::optional<std::string> victim;
      {
        auto held = lines->LineLock();
        const auto& list = lines->LineList(held);
        if (list.size() > 2 && list[list.size() / 2]->Finish) {
          victim = list[list.size() / 2]->Id;
          deleted.insert(list[list.size() / 2]->Ori);
        }
      }
      if (victim)
        lines->DeleteLines(victim);
    }
    return reads.load() >= 2 * kSentences + 2;
  }, 100s));
  worker.reset();
  queue->RunPending();
  ASSERT_GT(deleted.size(), 5u);

  std::vector<std::string> expected;  // every sentence not deleted, in order
  for (int i = 0; i < kSentences; ++i)
    if (!deleted.contains(sentence(i)))
      expected.push_back(sentence(i));
  auto held = lines->LineLock();
  const auto& list = lines->LineList(held);
  ASSERT_FALSE(list.empty());
  const size_t offset = expected.size() - list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->Ori, expected[offset + i]);
    EXPECT_EQ(list[i]->Tar, "es:" + list[i]->Ori);
    if (i > 0) {
      EXPECT_LT(list[i - 1]->Id, list[i]->Id);
    }
  }
  held.unlock();
  // The history: each remaining sentence exactly once, finished and translated.
  std::promise<std::optional<std::string>> exported;
  history->ExportText(SQLiteHelper::CopyMode::kBoth,
                      [&](auto text) { exported.set_value(std::move(text)); });
  const auto text = exported.get_future().get();
  ASSERT_TRUE(text);
  std::vector<std::string> stored;
  std::istringstream blocks(*text);
  for (std::string id, ori, tar, gap; std::getline(blocks, id) && std::getline(blocks, ori) &&
                                      std::getline(blocks, tar) && std::getline(blocks, gap);) {
    EXPECT_EQ(tar, "es:" + ori);
    stored.push_back(ori);
  }
  EXPECT_EQ(stored, expected);
}

}  // namespace
}  // namespace quensary
