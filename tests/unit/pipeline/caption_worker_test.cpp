#include "pipeline/caption_worker.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <map>
#include <set>

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

// The worker upserts on its own thread while the main thread applies translations and deletes
// lines. Every sentence must end up exactly once (or be gone when deleted), translated, and
// nothing may deadlock.
TEST_F(CaptionWorkerTest, WorkerAndMainThreadShareTheLinesWithoutLossOrDuplication) {
  constexpr int kSentences = 600;
  auto sentence = [](int i) {
    char text[32];
    std::snprintf(text, sizeof text, "sentence %04d", i);
    return std::string(text);
  };
  // Read c shows rows S((c-1)/2) and S((c+1)/2): S(i) first appears open, then is pushed up
  // and finished, so every sentence becomes one line. Reads after the last give nothing.
  std::atomic<int> reads{0};
  auto source = [&] {
    const int c = reads.fetch_add(1);
    if (c == 0)
      return sentence(0);
    if (c >= 2 * kSentences)
      return std::string();
    return sentence((c - 1) / 2) + std::string(SentenceTracker::CaptionSeparator) +
           sentence((c + 1) / 2);
  };
  auto worker = std::make_unique<CaptionWorker>(std::make_unique<SentenceTracker>(source, clock),
                                                lines, queue, 1ms);
  // What the request path does with a result: under LineLock, set it on the listed line and
  // publish; a finished line's history row gets it too, listed or not.
  worker->SetTranslationRequest([this](std::string id, std::string text, bool finish, bool) {
    {
      auto held = lines->LineLock();
      if (auto line = lines->FindLine(held, id)) {
        line->Tar = "T:" + text;
        lines->PublishLines(held);
      }
    }
    if (finish)
      history->SetTranslation(id, "T:" + text);
  });

  std::set<std::string> deleted;
  int deleted_at_read = 0;
  worker->Start();
  const auto give_up = std::chrono::steady_clock::now() + 120s;
  // Two reads past the last event: its ApplyCaption has certainly returned.
  while (reads.load() < 2 * kSentences + 2) {
    ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the worker made no progress";
    queue->RunPending();
    if (reads.load() - deleted_at_read >= 16) {
      deleted_at_read = reads.load();
      std::optional<std::string> victim_id;
      {
        auto held = lines->LineLock();
        const auto& list = lines->LineList(held);
        if (list.size() > 2 && list[list.size() / 2]->Finish) {
          victim_id = list[list.size() / 2]->Id;
          deleted.insert(list[list.size() / 2]->Ori);
        }
      }
      if (victim_id)
        lines->DeleteLines(victim_id);
    }
    std::this_thread::yield();
  }
  worker.reset();
  queue->RunPending();
  ASSERT_GT(deleted.size(), 10u);

  std::vector<std::string> expected;  // every sentence that was not deleted, in order
  for (int i = 0; i < kSentences; ++i) {
    if (!deleted.contains(sentence(i)))
      expected.push_back(sentence(i));
  }

  // The history: each remaining sentence exactly once, finished and translated.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(history->path().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* rows = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT Ori, Finish, Tar FROM LanguageTargetOne ORDER BY Id", -1,
                               &rows, nullptr),
            SQLITE_OK);
  std::vector<std::string> stored;
  while (sqlite3_step(rows) == SQLITE_ROW) {
    const std::string ori = reinterpret_cast<const char*>(sqlite3_column_text(rows, 0));
    EXPECT_EQ(sqlite3_column_int(rows, 1), 1) << ori;
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(rows, 2)), "T:" + ori);
    stored.push_back(ori);
  }
  sqlite3_finalize(rows);
  sqlite3_close(db);
  EXPECT_EQ(stored, expected);

  // The list: the newest remaining sentences, in order, with increasing Ids and translations.
  auto held = lines->LineLock();
  const auto& list = lines->LineList(held);
  ASSERT_FALSE(list.empty());
  ASSERT_LE(list.size(), 70u);
  const size_t offset = expected.size() - list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->Ori, expected[offset + i]);
    EXPECT_TRUE(list[i]->Finish);
    EXPECT_EQ(list[i]->Tar, "T:" + list[i]->Ori);
    if (i > 0) {
      EXPECT_LT(list[i - 1]->Id, list[i]->Id);
    }
  }
}

}  // namespace
}  // namespace quensary
