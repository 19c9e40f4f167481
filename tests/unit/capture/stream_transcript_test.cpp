#include "capture/stream_transcript.h"

#include <gtest/gtest.h>

#include "capture/caption_separator.h"
#include "capture/caption_source_choice.h"
#include "capture/row_text.h"
#include "fakes/core_fixture.h"
#include "pipeline/sentence_tracker.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

// The stream's texts, one after another, are written joined by '|' (a piece left empty is a
// cleared display, "~" four seconds without text); what the sentence tracker makes of the
// transcript is the finished sentences, joined by '|', and the open one.
struct Spoken {
  std::string finished;
  std::string open;
  bool operator==(const Spoken&) const = default;
  friend void PrintTo(const Spoken& spoken, std::ostream* out) {
    *out << "finished \"" << spoken.finished << "\", open \"" << spoken.open << '"';
  }
};

Spoken Speak(std::string_view texts) {
  testing::CapturedDiagnostics diagnostics;
  const auto clock = std::make_shared<testing::TestClock>();
  StreamTranscript transcript(SentenceTracker::StableTimeout);
  SentenceTracker tracker([&] { return transcript.TakeRows(clock->Now()); }, clock);
  Spoken spoken;
  const auto poll = [&] {
    // As the worker does: after a finished row, at once again.
    for (int i = 0; i < 10; ++i) {
      const auto event = tracker.PollCaption();
      if (!event)
        return;
      if (event->finished)
        spoken.finished += (spoken.finished.empty() ? "" : "|") + event->text;
      spoken.open = event->finished ? "" : event->text;
    }
  };
  for (size_t begin = 0; begin <= texts.size();) {
    const size_t end = std::min(texts.find('|', begin), texts.size());
    const std::string_view text = texts.substr(begin, end - begin);
    begin = end + 1;
    for (int i = 0; i < (text == "~" ? 8 : 1); ++i) {
      clock->Advance(text == "~" ? 500ms : 100ms);
      if (text != "~")
        transcript.Merge(text, clock->Now());
      poll();
    }
  }
  return spoken;
}

TEST(StreamTranscriptTest, EverySentenceIsFinishedOnceAndWhole) {
  const struct {
    const char* name;
    const char* texts;
    Spoken spoken;
  } cases[] = {
      {"lines broken by width",
       "Good morning and welcome to\nthe meeting. Today we",
       {"Good morning and welcome to the meeting.", "Today we"}},
      {"several sentences in one text, one per poll",
       "One. Two? Three! Four",
       {"One.|Two?|Three!", "Four"}},
      {"full-width ends need no space",
       "你好。今天很好！是吗？对",
       {"你好。|今天很好！|是吗？", "对"}},
      {"inside numbers nothing ends",
       "Version 3.5 is out... Really?! Yes",
       {"Version 3.5 is out...|Really?!", "Yes"}},
      {"a last word may still be rewritten",
       "We meet at nine.|We meet at nine!|We meet at nine! Bye",
       {"We meet at nine!", "Bye"}},
      {"overlap of one word",
       "Good morning and|and welcome to the|the meeting. Today",
       {"Good morning and welcome to the meeting.", "Today"}},
      {"overlap of a whole line",
       "Good morning and\nwelcome to the|welcome to the\nweekly planning|weekly planning\nmeeting. "
       "Today we",
       {"Good morning and welcome to the weekly planning meeting.", "Today we"}},
      {"repeated words",
       "He said no no|no no no and|and left. Then",
       {"He said no no no and left.", "Then"}},
      {"a rewrite",
       "the release skedule|the release schedule for|for the next version. It",
       {"the release schedule for the next version.", "It"}},
      {"a one-line display rewrites its only word",
       "Good morning and|WELCOME|welcome to the meeting. Then",
       {"Good morning and welcome to the meeting.", "Then"}},
      {"a rewrite into a finished sentence leaves it",
       "We said good morning. Welcome|We said good morning welcome to|We said good morning "
       "welcome to you. Bye",
       {"We said good morning.|welcome to you.", "Bye"}},
      {"a cleared display restarts",
       "We will meet at||at nine. Bye",
       {"We will meet at|at nine.", "Bye"}},
      {"a pause finishes the sentence as it stood",
       "We will meet at|~|We will meet at nine. Bye",
       {"We will meet at|nine.", "Bye"}},
      {"a window that jumps ahead by more than it shows",
       "Good morning and\nwelcome to the|planning meeting. Today",
       {"Good morning and welcome to the planning meeting.", "Today"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Speak(c.texts), c.spoken) << c.name;
}

// Back from the caption window, the tracker is handed only what it has not had.
TEST(StreamTranscriptTest, AfterAnotherSourceOnlyWhatIsNewIsHandedOver) {
  StreamTranscript transcript(SentenceTracker::StableTimeout);
  const Clock::TimePoint now{};
  transcript.Merge("One. Two", now);
  EXPECT_EQ(transcript.TakeRows(now), "One." + std::string(CaptionSeparator) + "Two");
  transcript.Merge("One. Two. Three", now);
  transcript.ForgetHandedOver();
  EXPECT_EQ(transcript.TakeRows(now), "Two." + std::string(CaptionSeparator) + "Three");
  transcript.ForgetHandedOver();
  EXPECT_EQ(transcript.TakeRows(now), "Three");
}

// A speaker who never ends a sentence still gets rows that fit, and no word is lost.
TEST(StreamTranscriptTest, ASentenceThatNeverEndsIsCutIntoWholeRows) {
  std::string text;
  for (int i = 0; text.size() < kMaxRowBytes * 3 / 2; ++i)
    text += "word" + std::to_string(i) + " ";
  const Spoken spoken = Speak(text + "end.|" + text + "end. Next");
  std::string rows = spoken.finished;
  size_t cuts = 0;
  for (size_t at; (at = rows.find('|')) != std::string::npos; ++cuts) {
    EXPECT_LE(at, kMaxRowBytes);
    rows.replace(at, 1, " ");
  }
  EXPECT_EQ(cuts, 1u);
  EXPECT_EQ(rows, text + "end.");
  EXPECT_EQ(spoken.open, "Next");
}

TEST(CaptionSourceChoiceTest, ModeAndSenderDecideTheSource) {
  using Kind = CaptionSourceKind;
  using Reason = CaptionSourceReason;
  const Clock::TimePoint now{std::chrono::hours(1)};
  const auto ago = [&](int seconds) { return now - std::chrono::seconds(seconds); };
  using Mode = CaptionSourceMode;
  const CaptionStreamState none, on{true, true, {}}, off{true, false, {}};
  const struct {
    CaptionSourceMode mode;
    CaptionStreamState stream;
    bool window;
    CaptionSourceChoice choice;
  } cases[] = {
      {Mode::kAutomatic, none, true, {Kind::kAccessibility, Reason::kNoStream}},
      {Mode::kAutomatic, none, false, {Kind::kAccessibility, Reason::kNoSource}},
      {Mode::kAutomatic, on, false, {Kind::kStream, Reason::kStreamActive}},
      {Mode::kAutomatic, off, true, {Kind::kAccessibility, Reason::kStreamOff}},
      {Mode::kAutomatic, off, false, {Kind::kAccessibility, Reason::kStreamOffNoWindow}},
      {Mode::kAutomatic, {true, false, ago(10)}, false, {Kind::kStream, Reason::kStreamRecent}},
      {Mode::kAutomatic, {true, false, ago(11)}, true, {Kind::kAccessibility, Reason::kStreamOff}},
      // Text from a sender that has gone does not keep the stream chosen.
      {Mode::kAutomatic, {false, false, ago(1)}, true, {Kind::kAccessibility, Reason::kNoStream}},
      {Mode::kAccessibility, on, true, {Kind::kAccessibility, Reason::kForced}},
      {Mode::kAccessibility, on, false, {Kind::kAccessibility, Reason::kForcedNoWindow}},
      {Mode::kStream, off, false, {Kind::kStream, Reason::kForced}},
      {Mode::kStream, none, true, {Kind::kStream, Reason::kForcedNoSender}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseCaptionSource(c.mode, c.stream, c.window, now), c.choice)
        << WordOf(c.mode) << " owned " << c.stream.owned << " active " << c.stream.active
        << " window " << c.window;
  }
}

}  // namespace
}  // namespace quensary
