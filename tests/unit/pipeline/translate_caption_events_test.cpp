#include "pipeline/translate_caption_events.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "fakes/fake_engine_page.h"
#include "fakes/manual_main_queue.h"
#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "history/sqlite_helper.h"
#include "pipeline/caption_lines.h"
#include "translate/translate_script.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

// A caption event on the worker's side ends as a `trans` call in an engine page on the main
// thread, and the page's answer comes back into the line and the history.
class TranslateCaptionEventsTest : public ::testing::Test {
 protected:
  TranslateCaptionEventsTest() {
    settings->SetTargetLanguage("es");
    // Pages answer "translated:" and the whole script they were given.
    factory->responder = [](const std::string& script) -> std::optional<std::string> {
      return "translated:" + script;
    };
    TranslateCaptionEvents(worker, engines);
  }

  void Activate(int64_t delay) {
    engines->LoadProfiles(R"([{"Delay":)" + std::to_string(delay) +
                          R"(,"Cot":1,"Id":"e","Name":"E","Url":"u","BeforeJs":"","Js":""}])");
    engines->ActivateEngine("e");
    ASSERT_EQ(factory->pages.size(), 1u);
  }
  const std::vector<std::string>& Scripts() { return factory->pages.front()->async_scripts; }
  CaptionLine Listed() {
    auto held = lines->LineLock();
    return *lines->LineList(held).back();
  }

  testing::TempDir dir;
  LnsCenter bus;
  std::shared_ptr<testing::TestClock> clock = std::make_shared<testing::TestClock>();
  std::shared_ptr<testing::ManualMainQueue> queue =
      std::make_shared<testing::ManualMainQueue>(clock.get());
  std::shared_ptr<SettingsStore> settings =
      std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>());
  std::shared_ptr<testing::FakeEnginePageFactory> factory =
      std::make_shared<testing::FakeEnginePageFactory>(*queue);
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  std::shared_ptr<CaptionLines> lines = std::make_shared<CaptionLines>(bus, history, clock);
  std::shared_ptr<TranslationEngines> engines =
      TranslationEngines::Create({settings, factory, queue, clock, lines, history});
  CaptionWorker worker{std::make_unique<SentenceTracker>(nullptr, clock), lines, queue, 1h};
};

TEST_F(TranslateCaptionEventsTest, AFinishedEventBecomesATransCallAndItsAnswerIsStored) {
  Activate(0);
  worker.ApplyCaption("Good night.", true);
  // The worker only posts: nothing reaches the page until the main thread runs its tasks.
  EXPECT_TRUE(Scripts().empty());
  queue->RunPending();

  ASSERT_EQ(Scripts().size(), 1u);
  const std::string script = Scripts()[0];
  EXPECT_EQ(script, TranslateScript("Good night.", settings->SourceLanguage(), "es"));

  const CaptionLine line = Listed();
  EXPECT_EQ(line.Ori, "Good night.");
  EXPECT_EQ(line.Tar, "translated:" + script);
  const auto stored = history->LatestLines();
  ASSERT_TRUE(stored && stored->size() == 1);
  EXPECT_EQ(stored->front()->Id, line.Id);
  EXPECT_EQ(stored->front()->Tar, "translated:" + script);
}

TEST_F(TranslateCaptionEventsTest, OpenEventsWaitForTheDelayButTheFinishedOneIsForced) {
  Activate(10000);
  worker.ApplyCaption("We", false);
  queue->RunPending();
  clock->Advance(500ms);
  worker.ApplyCaption("We will", false);
  queue->RunPending();
  // Within the engine's Delay the open line's growth is not sent.
  EXPECT_TRUE(Scripts().empty());

  clock->Advance(500ms);
  worker.ApplyCaption("We will see.", true);
  queue->RunPending();
  ASSERT_EQ(Scripts().size(), 1u);
  EXPECT_EQ(Scripts()[0], TranslateScript("We will see.", settings->SourceLanguage(), "es"));
  EXPECT_EQ(Listed().Tar, "translated:" + Scripts()[0]);
}

TEST_F(TranslateCaptionEventsTest, WithoutAnActiveEngineEventsOnlyChangeTheList) {
  worker.ApplyCaption("Hello", false);
  queue->RunPending();
  EXPECT_TRUE(factory->pages.empty());
  EXPECT_EQ(Listed().Ori, "Hello");
  EXPECT_EQ(Listed().Tar, "");
}

// The worker upserts on its own thread while the main thread runs the translation requests,
// applies their answers and deletes lines: a few thousand operations on one line list. Every
// sentence must end up exactly once (or be gone when deleted), translated, and nothing may
// deadlock. Run under ThreadSanitizer too (scripts/sanitize thread).
TEST_F(TranslateCaptionEventsTest, WorkerAndMainThreadShareTheLinesWithoutLossOrDuplication) {
  constexpr int kSentences = 1000;
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
  // The page answers "T:" and the sentence, the first template literal of the script.
  factory->responder = [](const std::string& script) -> std::optional<std::string> {
    const size_t open = script.find('`');
    return "T:" + script.substr(open + 1, script.find('`', open + 1) - open - 1);
  };
  Activate(0);
  auto threaded = std::make_unique<CaptionWorker>(std::make_unique<SentenceTracker>(source, clock),
                                                  lines, queue, 1ms);
  TranslateCaptionEvents(*threaded, engines);

  std::set<std::string> deleted;
  int deleted_at_read = 0;
  threaded->Start();
  const auto give_up = std::chrono::steady_clock::now() + 100s;
  // Two reads past the last event: its ApplyCaption has certainly returned.
  while (reads.load() < 2 * kSentences + 2) {
    ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the worker made no progress";
    queue->RunPending(8);
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
  threaded.reset();
  queue->RunPending();
  ASSERT_GT(deleted.size(), 20u);
  EXPECT_EQ(Scripts().size(), 2u * kSentences);  // open and finished, no Delay

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
