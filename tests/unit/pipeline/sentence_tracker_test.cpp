#include "pipeline/sentence_tracker.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "fakes/caption_rows.h"
#include "fakes/published_lines.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "pipeline/caption_lines.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::JoinedRows;
using testing::TempDir;
using testing::TestClock;

constexpr std::string_view kHeart = SentenceTracker::CaptionSeparator;

CaptionEvent Open(std::string text) {
  return {std::move(text), false};
}
CaptionEvent Done(std::string text) {
  return {std::move(text), true};
}

// Drives the tracker the way the worker does: one read every 0.5 s, each event applied to a
// real line list.
class SentenceTrackerTest : public ::testing::Test {
 protected:
  std::optional<CaptionEvent> Tick(std::string text, std::chrono::milliseconds step = 500ms) {
    clock->Advance(step);
    shown = std::move(text);
    auto event = tracker.PollCaption();
    if (event) {
      auto held = lines.LineLock();
      lines.UpsertLine(held, event->text, event->finished);
    }
    return event;
  }
  std::optional<CaptionEvent> Tick(std::initializer_list<std::string_view> rows) {
    return Tick(JoinedRows(rows));
  }
  // The listed lines as "text|done" or "text|open", oldest first.
  std::vector<std::string> Listed() {
    auto held = lines.LineLock();
    std::vector<std::string> texts;
    for (const auto& line : lines.LineList(held))
      texts.push_back(line->Ori + (line->Finish ? "|done" : "|open"));
    return texts;
  }
  std::vector<std::string> Stored() {
    std::vector<std::string> texts;
    const auto stored = history->LatestLines();
    for (const auto& line : stored.value_or(std::vector<CaptionLinePtr>{}))
      texts.push_back(line->Ori);
    return texts;
  }

  TempDir dir;
  LnsCenter bus;
  std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  CaptionLines lines{bus, history, clock};
  std::string shown;
  SentenceTracker tracker{[this] { return shown; }, clock};
};

TEST_F(SentenceTrackerTest, FirstRowIsReportedOpen) {
  EXPECT_EQ(Tick({"Hello"}), Open("Hello"));
  EXPECT_EQ(Listed(), std::vector<std::string>{"Hello|open"});
}

TEST_F(SentenceTrackerTest, ANewRowFinishesThePushedUpRowThenReportsItselfNextTick) {
  Tick({"Hello"});
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Tick({"Hello there.", "How"}), Done("Hello there."));
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, RevealText(Sealed::FinishedRowPrefix) + " Hello there.\n");
  EXPECT_EQ(Tick({"Hello there.", "How"}), Open("How"));
  EXPECT_EQ(Tick({"Hello there.", "How"}), std::nullopt);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Hello there.|done", "How|open"}));
  EXPECT_EQ(Stored(), std::vector<std::string>{"Hello there."});
}

TEST_F(SentenceTrackerTest, AGrowingBottomRowUpdatesOneOpenLineEveryTick) {
  EXPECT_EQ(Tick({"We"}), Open("We"));
  EXPECT_EQ(Tick({"We will"}), Open("We will"));
  EXPECT_EQ(Tick({"We will see"}), Open("We will see"));
  EXPECT_EQ(Tick({"We will see it"}), Open("We will see it"));
  EXPECT_EQ(Listed(), std::vector<std::string>{"We will see it|open"});
  EXPECT_TRUE(Stored().empty());
}

TEST_F(SentenceTrackerTest, EmptyPiecesBetweenSeparatorsAreNoRows) {
  const std::string heart(kHeart);
  EXPECT_EQ(Tick(heart + "A" + heart + heart + "B" + heart), Done("A"));
  EXPECT_EQ(Tick(heart + heart), std::nullopt);
  EXPECT_EQ(Tick("A" + heart + "B"), Open("B"));
}

TEST_F(SentenceTrackerTest, AnUnchangedBottomRowFinishesOnlyAfterMoreThanThreeSeconds) {
  EXPECT_EQ(Tick({"Quiet now"}), Open("Quiet now"));
  EXPECT_EQ(Tick({"Quiet now"}), std::nullopt);  // first seen unchanged: the clock starts
  EXPECT_EQ(Tick(JoinedRows({"Quiet now"}), 2999ms), std::nullopt);
  EXPECT_EQ(Tick(JoinedRows({"Quiet now"}), 1ms), std::nullopt);  // exactly 3.0 s is not enough
  EXPECT_EQ(Tick(JoinedRows({"Quiet now"}), 1ms), Done("Quiet now"));
  EXPECT_EQ(Listed(), std::vector<std::string>{"Quiet now|done"});
  // Not reported again while it stays unchanged.
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(Tick({"Quiet now"}), std::nullopt);
  EXPECT_EQ(Stored(), std::vector<std::string>{"Quiet now"});
}

TEST_F(SentenceTrackerTest, AChangeRestartsTheStableTime) {
  Tick({"One"});
  Tick({"One"});
  Tick(JoinedRows({"One"}), 2000ms);
  EXPECT_EQ(Tick({"One more"}), Open("One more"));
  EXPECT_EQ(Tick({"One more"}), std::nullopt);
  EXPECT_EQ(Tick(JoinedRows({"One more"}), 2000ms), std::nullopt);
  EXPECT_EQ(Tick(JoinedRows({"One more"}), 1001ms), Done("One more"));
}

TEST_F(SentenceTrackerTest, ARowFinishedByTimeIsNotReportedAgainWhenPushedUp) {
  Tick({"Wait."});
  Tick({"Wait."});
  ASSERT_EQ(Tick(JoinedRows({"Wait."}), 3500ms), Done("Wait."));
  // The next row pushes it up: that tick reports the new bottom row instead.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Tick({"Wait.", "Go"}), Open("Go"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(Tick({"Wait.", "Go on"}), Open("Go on"));
  EXPECT_EQ(Tick({"Wait.", "Go on.", "Then"}), Done("Go on."));
  EXPECT_EQ(Tick({"Wait.", "Go on.", "Then"}), Open("Then"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Wait.|done", "Go on.|done", "Then|open"}));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"Wait.", "Go on."}));
}

TEST_F(SentenceTrackerTest, APushedUpRowEqualToTheLastFinishedOneRaisesNoEvent) {
  Tick({"Yes."});
  EXPECT_EQ(Tick({"Yes.", "Yes."}), Done("Yes."));
  EXPECT_EQ(Tick({"Yes.", "Yes."}), Open("Yes."));  // the second "Yes." opens a line
  // A new row pushes up the repeated text: nothing is finished, and the open line that held
  // the repeated row takes the new bottom row's text.
  EXPECT_EQ(Tick({"Yes.", "Yes.", "Right"}), Open("Right"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Yes.|done", "Right|open"}));
}

TEST_F(SentenceTrackerTest, AnEmptyReadChangesNoStateEvenAfterRows) {
  Tick({"Before", "Still here"});  // Before is finished
  Tick({"Before", "Still here"});  // the bottom row is reported
  Tick({"Before", "Still here"});  // and starts its stable time
  for (int i = 0; i < 8; ++i)      // the caption window is gone for 4 s
    EXPECT_EQ(Tick(""), std::nullopt);
  // Back with the same rows: nothing was forgotten, so the pushed-up row is not reported again,
  // the bottom row is not reported as new, and its stable time has run on.
  EXPECT_EQ(Tick({"Before", "Still here"}), Done("Still here"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Before|done", "Still here|done"}));
}

TEST_F(SentenceTrackerTest, NoProviderMeansNoEvents) {
  SentenceTracker unwired(nullptr, clock);
  EXPECT_EQ(unwired.PollCaption(), std::nullopt);
}

TEST_F(SentenceTrackerTest, SeventyLinesAndOneMoreLeaveFortyOne) {
  ::testing::internal::CaptureStdout();  // 71 diagnostic lines
  for (int i = 0; i < 70; ++i)
    Tick({"row " + std::to_string(i), "row " + std::to_string(i + 1)});
  // Seventy lines are kept as they are: trimming at 70 would end at 41 lines just the same.
  EXPECT_EQ(Listed().size(), 70u);
  Tick({"row 70", "row 71"});
  ::testing::internal::GetCapturedStdout();
  // The 71st finished line made the list too long, so its 30 oldest went.
  EXPECT_EQ(Listed().size(), 41u);
  EXPECT_EQ(Listed().front(), "row 30|done");
  EXPECT_EQ(Listed().back(), "row 70|done");
}

}  // namespace
}  // namespace quensary
