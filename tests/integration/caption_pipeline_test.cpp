// The caption worker reading the demo caption provider over the real AT-SPI stack: what the
// provider plays ends up as caption lines and in the history.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bus/lns_center.h"
#include "capture/language_source.h"
#include "fakes/temp_dir.h"
#include "history/sqlite_helper.h"
#include "pipeline/caption_worker.h"
#include "pipeline/sentence_tracker.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/glib/glib_main_queue.h"
#include "support/main_loop_wait.h"
#include "support/provider_process.h"
#include "translate/caption_lines.h"

namespace quensary {
namespace {

using testing::ProviderProcess;
using testing::RunLoopUntil;
using testing::TempDir;

const std::vector<std::string> kTranscript = {
    "Good morning and welcome to the weekly planning meeting.",
    "Today we will look at the release schedule for the next version.",
    "The translation team finished the Spanish texts on Friday.",
    "Please send your questions before the end of the day.",
    "Thank you all for joining, and see you next week.",
};

struct ListedLine {
  std::string ori;
  bool finish;
};

class CaptionPipeline : public ::testing::Test {
 protected:
  std::vector<ListedLine> Listed() {
    std::vector<ListedLine> listed;
    auto held = lines->LineLock();
    for (const auto& line : lines->LineList(held))
      listed.push_back({line->Ori, line->Finish});
    return listed;
  }

  TempDir dir;
  LnsCenter bus;
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  std::shared_ptr<CaptionLines> lines =
      std::make_shared<CaptionLines>(bus, history, std::make_shared<SystemClock>());
};

TEST_F(CaptionPipeline, FiveSentencesPlayedBecomeFiveFinishedLinesEachOnceAndInTheHistory) {
  ProviderProcess demo({QUENSARY_CAPTION_DEMO, "--transcript",
                        QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt",
                        "--word-ms", "60", "--pause-ms", "300"});
  ASSERT_TRUE(demo.running());

  CaptionWorker worker(
      std::make_unique<SentenceTracker>(
          LanguageSource::CaptionTextSource(std::make_shared<AtspiAccessibility>()),
          std::make_shared<SystemClock>()),
      lines, std::make_shared<GlibMainQueue>());
  worker.Start();

  // The last sentence is pushed up by nothing: it is finished by standing still for 3 s.
  const bool all_finished = RunLoopUntil(
      [&] {
        const auto listed = Listed();
        size_t finished = 0;
        for (const auto& line : listed)
          finished += line.finish ? 1 : 0;
        return finished >= kTranscript.size();
      },
      std::chrono::seconds(60));
  std::vector<std::string> texts;
  for (const auto& line : Listed())
    texts.push_back(line.ori + (line.finish ? "" : " (open)"));
  ASSERT_TRUE(all_finished) << ::testing::PrintToString(texts);

  // A little longer: nothing more may come (no line twice, no stray open line).
  RunLoopUntil([] { return false; }, std::chrono::milliseconds(1500));
  const auto listed = Listed();
  ASSERT_EQ(listed.size(), kTranscript.size()) << ::testing::PrintToString(texts);
  for (size_t i = 0; i < kTranscript.size(); ++i) {
    EXPECT_EQ(listed[i].ori, kTranscript[i]);
    EXPECT_TRUE(listed[i].finish);
  }

  const auto stored = history->LatestLines();
  ASSERT_TRUE(stored.has_value());
  std::vector<std::string> stored_texts;
  for (const auto& line : *stored)
    stored_texts.push_back(line->Ori);
  EXPECT_EQ(stored_texts, kTranscript);
}

}  // namespace
}  // namespace quensary
