#include "history/transcript_export.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace quensary {
namespace {

using Format = TranscriptFormat;

// Text outside the Basic Multilingual Plane stays whole; a byte that is not UTF-8 becomes U+FFFD.
#define SMILE "\xF0\x9F\x98\x80 \xF0\xA0\x80\x8B"
#define BAD "bad \xEF\xBF\xBD"

std::vector<CaptionLinePtr> Lines(const std::vector<std::vector<std::string>>& rows) {
  std::vector<CaptionLinePtr> lines;
  for (const auto& row : rows)
    lines.push_back(std::make_shared<CaptionLine>(row[0], row[1], true, row[2]));
  return lines;
}

// The "start --> end" lines of a SubRip file, joined by "|".
std::string CueTimes(const std::string& srt) {
  std::istringstream in(srt);
  std::string line, times;
  while (std::getline(in, line))
    if (line.find(" --> ") != std::string::npos)
      times += (times.empty() ? "" : "|") + line;
  return times;
}

TEST(TranscriptFile, CuesEndAtTheNextLineWithinOneToSevenSecondsCountedFromTheFirst) {
  const struct {
    std::vector<std::string> ids;
    std::string times;
  } cases[] = {
      // Next line after 3 s, after 0.4 s (held for the shortest cue), after 26.6 s (cut to the
      // longest); the last line lasts the longest.
      {{"2026-03-14 09:00:00.250000", "2026-03-14 09:00:03.250000", "2026-03-14 09:00:03.650000",
        "2026-03-14 09:00:30.250000"},
       "00:00:00,000 --> 00:00:03,000|00:00:03,000 --> 00:00:04,000|"
       "00:00:03,400 --> 00:00:10,400|00:00:30,000 --> 00:00:37,000"},
      // A session of more than a day, across the end of a month: hours go on counting.
      {{"2026-02-28 23:59:59.000000", "2026-03-02 00:00:00.500000"},
       "00:00:00,000 --> 00:00:07,000|24:00:01,500 --> 24:00:08,500"},
      // A clock set back, and an Id that names no time, keep the line ahead's start.
      {{"2026-03-14 09:00:10.000000", "2026-03-14 09:00:05.000000", "not a time"},
       "00:00:00,000 --> 00:00:01,000|00:00:00,000 --> 00:00:01,000|00:00:00,000 --> 00:00:07,000"},
  };
  for (const auto& c : cases) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& id : c.ids)
      rows.push_back({id, "words", ""});
    EXPECT_EQ(CueTimes(TranscriptFile(Format::kSrt, CopyMode::kBoth, Lines(rows))), c.times)
        << c.ids.front();
  }
}

TEST(TranscriptFile, EachFormatEscapesItsOwnWayAndKeepsOnlyTheChosenSides) {
  const auto lines = Lines({
      {"2026-03-14 09:00:00.000000", "Hello, \"Ann\"\nand <Bob> & co", "Hola, \"Ann\""},
      {"2026-03-14 09:00:02.000000", "Untranslated\r\n\r\nstill", ""},
      {"2026-03-14 09:00:04.000000", "\xF0\x9F\x98\x80 \xF0\xA0\x80\x8B", "bad \xFF"},
  });
  const struct {
    Format format;
    CopyMode sides;
    std::string file;
  } cases[] = {
      {Format::kCsv, CopyMode::kBoth,
       "time,original,translation\r\n"
       "2026-03-14 09:00:00,\"Hello, \"\"Ann\"\"\nand <Bob> & co\",\"Hola, \"\"Ann\"\"\"\r\n"
       "2026-03-14 09:00:02,\"Untranslated\r\n\r\nstill\",\r\n"
       "2026-03-14 09:00:04," SMILE "," BAD "\r\n"},
      {Format::kCsv, CopyMode::kTranslation,
       "time,translation\r\n2026-03-14 09:00:00,\"Hola, \"\"Ann\"\"\"\r\n2026-03-14 09:00:02,\r\n"
       "2026-03-14 09:00:04," BAD "\r\n"},
      // A blank line would end the cue early; a line with nothing to show makes no cue.
      {Format::kSrt, CopyMode::kTranslation,
       "1\n00:00:00,000 --> 00:00:02,000\nHola, \"Ann\"\n\n"
       "2\n00:00:04,000 --> 00:00:11,000\n" BAD "\n\n"},
      {Format::kWebVtt, CopyMode::kBoth,
       "WEBVTT\n\n00:00:00.000 --> 00:00:02.000\nHello, \"Ann\"\nand &lt;Bob&gt; &amp; co\n"
       "Hola, \"Ann\"\n\n00:00:02.000 --> 00:00:04.000\nUntranslated\nstill\n\n"
       "00:00:04.000 --> 00:00:11.000\n" SMILE "\n" BAD "\n\n"},
      {Format::kText, CopyMode::kBoth,
       "2026-03-14 09:00:00\nHello, \"Ann\"\nand <Bob> & co\nHola, \"Ann\"\n\n"
       "2026-03-14 09:00:02\nUntranslated\r\n\r\nstill\n\n"
       "2026-03-14 09:00:04\n" SMILE "\n" BAD "\n\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TranscriptFile(c.format, c.sides, lines), c.file)
        << static_cast<int>(c.format) << " " << static_cast<int>(c.sides);
  }
}

}  // namespace
}  // namespace quensary
