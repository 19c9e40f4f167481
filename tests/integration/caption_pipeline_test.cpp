// The caption worker reading the demo caption provider over the real AT-SPI stack: what the
// provider plays ends up as caption lines and in the history, each sentence once, also when the
// provider freezes for a while.

#include <gtest/gtest.h>

#include <chrono>

#include "bus/lns_center.h"
#include "capture/language_source.h"
#include "fakes/core_fixture.h"
#include "pipeline/caption_worker.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/glib/glib_main_queue.h"
#include "support/child_process.h"
#include "support/main_loop_wait.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;

TEST(CaptionPipeline, PlayedSentencesBecomeFinishedLinesOnceEvenThroughAFrozenProvider) {
  const std::vector<std::string> transcript = {
      "Good morning and welcome to the weekly planning meeting.",
      "Today we will look at the release schedule for the next version.",
      "The translation team finished the Spanish texts on Friday.",
      "Please send your questions before the end of the day.",
      "Thank you all for joining, and see you next week.",
  };
  testing::CapturedDiagnostics diagnostics;
  testing::TempDir dir;
  LnsCenter bus;
  auto history = std::make_shared<SQLiteHelper>(dir.path());
  auto lines = std::make_shared<CaptionLines>(bus, history, std::make_shared<SystemClock>());
  // The demo waits for sentences on its standard input.
  testing::BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--word-ms", "60", "--pause-ms", "300"});
  ASSERT_TRUE(demo.Running());
  CaptionWorker worker(
      std::make_unique<SentenceTracker>(
          LanguageSource::CaptionTextSource(std::make_shared<AtspiAccessibility>()),
          std::make_shared<SystemClock>()),
      lines, std::make_shared<GlibMainQueue>());
  worker.Start();
  const auto listed = [&] {
    std::vector<std::string> texts;
    auto held = lines->LineLock();
    for (const auto& line : lines->LineList(held))
      texts.push_back(line->Ori + (line->Finish ? "" : " (open)"));
    return texts;
  };
  for (size_t i = 0; i < transcript.size(); ++i) {
    ASSERT_TRUE(demo.WriteLine(transcript[i]));
    if (i == 2) {
      // Frozen for a while in the middle of the third sentence: the worker keeps polling and
      // picks the provider up again where it left off.
      ASSERT_TRUE(RunLoopUntil(
          [&] { return !listed().empty() && listed().back().starts_with("The translation"); },
          std::chrono::seconds(20)));
      demo.Freeze();
      testing::RunLoopFor(std::chrono::seconds(2));
      demo.Thaw();
    }
  }
  // The last sentence is pushed up by nothing: it is finished by standing still for 3 s.
  ASSERT_TRUE(RunLoopUntil([&] { return listed() == transcript; }, std::chrono::seconds(60)))
      << ::testing::PrintToString(listed());
  std::vector<std::string> stored;
  for (const auto& line : testing::LatestLinesNow(*history).value_or(std::vector<CaptionLinePtr>{}))
    stored.push_back(line->Ori);
  EXPECT_EQ(stored, transcript);
}

}  // namespace
}  // namespace quensary
