#include "capture/stream_sentences.h"

#include <gtest/gtest.h>

#include "capture/caption_separator.h"
#include "capture/caption_source_choice.h"

namespace quensary {
namespace {

// Rows are written with "|" for the caption separator.
std::string Rows(std::string_view text) {
  std::string rows = StreamSentences(text);
  for (size_t at; (at = rows.find(CaptionSeparator)) != std::string::npos;)
    rows.replace(at, CaptionSeparator.size(), "|");
  return rows;
}

TEST(StreamSentencesTest, LinesBrokenByWidthBecomeSentences) {
  const struct {
    const char* text;
    const char* rows;
  } cases[] = {
      {"Good morning and welcome to\nthe meeting. Today we",
       "Good morning and welcome to the meeting.|Today we"},
      {"This sentence runs\nover three\nlines of text.",
       "This sentence runs over three lines of text."},
      {"One. Two? Three! Four", "One.|Two?|Three!|Four"},
      {"no punctuation at all\nover two lines", "no punctuation at all over two lines"},
      // Full-width forms end a sentence without a space after them.
      {"你好。今天很好！是吗？对", "你好。|今天很好！|是吗？|对"},
      // Within words and numbers nothing splits; a run of marks splits after the last one.
      {"Version 3.5 is out... Really?! Yes", "Version 3.5 is out...|Really?!|Yes"},
      {"Wait\xE2\x80\xA6 then go", "Wait\xE2\x80\xA6|then go"},
      // An abbreviation splits: the tracker then only sees one short line more.
      {"Mr. Smith arrived.", "Mr.|Smith arrived."},
      {"  \n \n", ""},
      {"Trailing line feed.\n", "Trailing line feed."},
      {"A\r\nB", "A B"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Rows(c.text), c.rows) << c.text;
}

TEST(StreamSentencesTest, ARowIsCappedAtACharacterBoundary) {
  std::string long_row;
  while (long_row.size() < 3 * 4096)
    long_row += "\xC3\xA9";  // é, two bytes
  const std::string rows = StreamSentences("Short. " + long_row);
  const size_t at = rows.find(CaptionSeparator);
  ASSERT_NE(at, std::string::npos);
  const std::string bottom = rows.substr(at + CaptionSeparator.size());
  EXPECT_EQ(bottom.size(), 4096u);
  EXPECT_EQ(bottom.substr(bottom.size() - 2), "\xC3\xA9");
}

TEST(CaptionSourceChoiceTest, ModeAndSenderDecideTheSource) {
  using Kind = CaptionSourceKind;
  using Reason = CaptionSourceReason;
  const Clock::TimePoint now{std::chrono::hours(1)};
  const auto ago = [&](int seconds) { return now - std::chrono::seconds(seconds); };
  const struct {
    CaptionSourceMode mode;
    CaptionStreamState stream;
    CaptionSourceChoice choice;
  } cases[] = {
      {CaptionSourceMode::kAutomatic, {}, {Kind::kAccessibility, Reason::kNoStream}},
      {CaptionSourceMode::kAutomatic, {true, true, {}}, {Kind::kStream, Reason::kStreamActive}},
      {CaptionSourceMode::kAutomatic,
       {true, false, {}},
       {Kind::kAccessibility, Reason::kStreamOff}},
      {CaptionSourceMode::kAutomatic,
       {true, false, ago(10)},
       {Kind::kStream, Reason::kStreamRecent}},
      {CaptionSourceMode::kAutomatic,
       {true, false, ago(11)},
       {Kind::kAccessibility, Reason::kStreamOff}},
      // Text from a sender that has gone does not keep the stream chosen.
      {CaptionSourceMode::kAutomatic,
       {false, false, ago(1)},
       {Kind::kAccessibility, Reason::kNoStream}},
      {CaptionSourceMode::kAccessibility,
       {true, true, {}},
       {Kind::kAccessibility, Reason::kForced}},
      {CaptionSourceMode::kStream, {true, false, {}}, {Kind::kStream, Reason::kForced}},
      {CaptionSourceMode::kStream, {}, {Kind::kStream, Reason::kForcedNoSender}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseCaptionSource(c.mode, c.stream, now), c.choice)
        << WordOf(c.mode) << " owned " << c.stream.owned << " active " << c.stream.active;
  }
  for (const char* word : {"auto", "accessibility", "stream"})
    EXPECT_EQ(WordOf(CaptionSourceModeFromWord(word)), word);
  EXPECT_EQ(CaptionSourceModeFromWord("Stream "), CaptionSourceMode::kAutomatic);
}

}  // namespace
}  // namespace quensary
