#pragma once

#include <chrono>
#include <span>
#include <string>

#include "history/caption_line.h"
#include "protocol/page_words.h"

namespace quensary {

// The file formats a transcript is saved in.
enum class TranscriptFormat {
  // Blocks as the clipboard copy makes them, headed by the time to the second.
  kText,
  // SubRip and WebVTT: one cue per line, timed from the line Ids and counted from the first
  // line. A cue ends where the next line starts, but lasts at least `kShortestCue` and at most
  // `kLongestCue`; the last line lasts the longest. A line with nothing to show on the chosen
  // side makes no cue.
  kSrt,
  kWebVtt,
  // RFC 4180: UTF-8, CRLF line ends, the header "time,original,translation" (without the
  // column of the side left out), fields quoted when they hold a comma, a quote or a line break.
  kCsv,
};

inline constexpr std::chrono::seconds kShortestCue{1};
inline constexpr std::chrono::seconds kLongestCue{7};

// The lines (oldest first) written in `format`, with the original, the translation or both as
// `sides` says. Bytes that are not UTF-8 become U+FFFD.
std::string TranscriptFile(TranscriptFormat format, CopyMode sides,
                           std::span<const CaptionLinePtr> lines);

}  // namespace quensary
