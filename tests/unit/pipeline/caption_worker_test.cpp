#include "pipeline/caption_worker.h"

#include <gtest/gtest.h>

#include <atomic>

#include "fakes/manual_main_queue.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::ManualMainQueue;
using testing::TempDir;
using testing::TestClock;

// Waits for a condition with a bounded time-out; the worker runs on its own thread.
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

struct Request {
  std::string id;
  std::string text;
  bool finish;
  bool force;
};

class CaptionWorkerTest : public ::testing::Test {
 protected:
  std::unique_ptr<CaptionWorker> MakeWorker(SentenceTracker::CaptionTextSource source,
                                            std::chrono::milliseconds interval) {
    auto worker = std::make_unique<CaptionWorker>(
        std::make_unique<SentenceTracker>(std::move(source), clock), lines, queue, interval);
    worker->SetTranslationRequest(
        [this](std::string id, std::string text, bool finish, bool force) {
          requests.push_back({std::move(id), std::move(text), finish, force});
        });
    return worker;
  }
  size_t ListedCount() {
    auto held = lines->LineLock();
    return lines->LineList(held).size();
  }

  TempDir dir;
  LnsCenter bus;
  std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  std::shared_ptr<CaptionLines> lines = std::make_shared<CaptionLines>(bus, history, clock);
  std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
  std::vector<Request> requests;  // main thread only
};

TEST_F(CaptionWorkerTest, ApplyCaptionUpdatesTheListAndTranslatesOnTheMainQueue) {
  auto worker = MakeWorker(nullptr, 1h);
  worker->ApplyCaption("Good", false);
  worker->ApplyCaption("Good night.", true);
  EXPECT_EQ(ListedCount(), 1u);
  EXPECT_TRUE(requests.empty());  // nothing runs until the main thread takes the tasks
  EXPECT_EQ(queue->RunPending(), 2u);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].id, requests[1].id);
  EXPECT_EQ(requests[0].text, "Good");
  EXPECT_FALSE(requests[0].finish);
  EXPECT_FALSE(requests[0].force);
  EXPECT_EQ(requests[1].text, "Good night.");
  EXPECT_TRUE(requests[1].finish);
  EXPECT_TRUE(requests[1].force);  // a finished line always reaches the engine
}

TEST_F(CaptionWorkerTest, WithoutARequestPathEventsOnlyChangeTheList) {
  auto worker = MakeWorker(nullptr, 1h);
  worker->SetTranslationRequest(nullptr);
  worker->ApplyCaption("Alone", false);
  EXPECT_EQ(ListedCount(), 1u);
  EXPECT_EQ(queue->RunPending(), 0u);
}

TEST_F(CaptionWorkerTest, NothingIsPolledBeforeStartOrBeforeTheFirstInterval) {
  std::atomic<int> reads{0};
  auto worker = MakeWorker([&] { return ++reads, std::string("row"); }, 1h);
  std::this_thread::sleep_for(50ms);
  worker->Start();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(reads.load(), 0);
  // Destruction wakes the sleeping thread instead of waiting out the hour.
  const auto before = std::chrono::steady_clock::now();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
  EXPECT_EQ(reads.load(), 0);
}

TEST_F(CaptionWorkerTest, PollsRepeatedlyAndASecondStartAddsNoThread) {
  std::atomic<int> reads{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  auto worker = MakeWorker(
      [&] {
        if (++inside > 1)
          overlapped = true;
        std::this_thread::sleep_for(1ms);
        --inside;
        const int n = ++reads;
        return "row " + std::to_string(n);  // a new bottom row on every read
      },
      1ms);
  worker->Start();
  worker->Start();
  ASSERT_TRUE(WaitFor([&] { return reads.load() >= 20; }));
  worker.reset();
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(ListedCount(), 1u);  // one open line, rewritten on every tick
  queue->RunPending();
  EXPECT_GE(requests.size(), 20u);
}

}  // namespace
}  // namespace quensary
