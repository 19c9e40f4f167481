// The caption worker reading the demo caption provider over the real AT-SPI stack: what the
// provider plays ends up as caption lines and in the history.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
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
#include "support/child_process.h"
#include "support/main_loop_wait.h"
#include "pipeline/caption_lines.h"

namespace quensary {
namespace {

using testing::BackgroundProcess;
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
 public:
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

// Runs the main loop until every transcript sentence is a finished line, then a little longer
// (nothing more may come), and checks the list and the history hold each sentence once.
void ExpectTranscriptAsFinishedLines(CaptionPipeline& test) {
  // The last sentence is pushed up by nothing: it is finished by standing still for 3 s.
  const bool all_finished = RunLoopUntil(
      [&] {
        size_t finished = 0;
        for (const auto& line : test.Listed())
          finished += line.finish ? 1 : 0;
        return finished >= kTranscript.size();
      },
      std::chrono::seconds(60));
  std::vector<std::string> texts;
  for (const auto& line : test.Listed())
    texts.push_back(line.ori + (line.finish ? "" : " (open)"));
  ASSERT_TRUE(all_finished) << ::testing::PrintToString(texts);

  RunLoopUntil([] { return false; }, std::chrono::milliseconds(1500));
  const auto listed = test.Listed();
  ASSERT_EQ(listed.size(), kTranscript.size()) << ::testing::PrintToString(texts);
  for (size_t i = 0; i < kTranscript.size(); ++i) {
    EXPECT_EQ(listed[i].ori, kTranscript[i]);
    EXPECT_TRUE(listed[i].finish);
  }

  const auto stored = test.history->LatestLines();
  ASSERT_TRUE(stored.has_value());
  std::vector<std::string> stored_texts;
  for (const auto& line : *stored)
    stored_texts.push_back(line->Ori);
  EXPECT_EQ(stored_texts, kTranscript);
}

TEST_F(CaptionPipeline, FiveSentencesPlayedBecomeFiveFinishedLinesEachOnceAndInTheHistory) {
  BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--transcript",
                          QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt",
                          "--word-ms", "60", "--pause-ms", "300"});
  ASSERT_TRUE(demo.Running());

  CaptionWorker worker(
      std::make_unique<SentenceTracker>(
          LanguageSource::CaptionTextSource(std::make_shared<AtspiAccessibility>()),
          std::make_shared<SystemClock>()),
      lines, std::make_shared<GlibMainQueue>());
  worker.Start();
  ExpectTranscriptAsFinishedLines(*this);
}

TEST_F(CaptionPipeline, WorkerKeepsPollingThroughAFrozenProviderAndPicksItUpAgain) {
  // The demo waits for sentences on its standard input.
  BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--word-ms", "60", "--pause-ms", "300"});
  ASSERT_TRUE(demo.Running());
  AtspiAccessibility looking;
  ASSERT_TRUE(RunLoopUntil([&] { return LanguageSource::FindCaptionWindow(looking) != nullptr; },
                           std::chrono::seconds(20)));

  // Every poll of the worker, counted and timed.
  std::atomic<int> polls{0};
  std::atomic<int64_t> longest_ms{0};
  auto read = LanguageSource::CaptionTextSource(std::make_shared<AtspiAccessibility>());
  auto counted = [&, read] {
    const auto start = std::chrono::steady_clock::now();
    std::string text = read();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    if (took > longest_ms)
      longest_ms = took;
    ++polls;
    return text;
  };
  CaptionWorker worker(std::make_unique<SentenceTracker>(counted, std::make_shared<SystemClock>()),
                       lines, std::make_shared<GlibMainQueue>());
  worker.Start();
  ASSERT_TRUE(RunLoopUntil([&] { return polls >= 1; }, std::chrono::seconds(5)));

  demo.Freeze();
  const int before = polls;
  EXPECT_TRUE(RunLoopUntil([&] { return polls >= before + 4; }, std::chrono::seconds(10)));
  std::printf("longest poll with the provider frozen: %lld ms\n",
              static_cast<long long>(longest_ms.load()));
  // About a second at most, never the 15 s of an unanswered call without a time-out.
  EXPECT_LT(longest_ms.load(), 2500);
  demo.Thaw();

  for (const auto& sentence : kTranscript)
    ASSERT_TRUE(demo.WriteLine(sentence));
  ExpectTranscriptAsFinishedLines(*this);
}

}  // namespace
}  // namespace quensary
