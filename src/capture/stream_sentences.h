#pragma once

#include <string>
#include <string_view>

namespace quensary {

// A pushed caption stream sends the lines it shows, oldest first, broken by width and not by
// sentence; the last one is still changing. The sentence tracker wants rows that are sentences
// with the unfinished one at the bottom, so the lines are joined (a line feed becomes a space)
// and split after sentence-ending punctuation. Rows are trimmed and capped like the rows of an
// accessible caption window; empty rows are dropped.
//
// An ASCII `.`, `?`, `!` or `…` ends a sentence only where a space or the end follows, so that
// "3.5" or "example.org" stay whole; "Mr. Smith" does split, which only makes one short line.
// The full-width forms (。．？！) end a sentence wherever they stand: the scripts that use
// them put no space between sentences.
//
// The result is the rows joined by CaptionSeparator, what the tracker's text source gives.
std::string StreamSentences(std::string_view text);

}  // namespace quensary
