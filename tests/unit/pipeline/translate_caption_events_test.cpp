#include "pipeline/translate_caption_events.h"

#include <gtest/gtest.h>

#include "fakes/fake_engine_page.h"
#include "fakes/manual_main_queue.h"
#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "history/sqlite_helper.h"
#include "translate/caption_lines.h"
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

}  // namespace
}  // namespace quensary
