#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace quensary {

// What a pushed caption stream has said so far, rebuilt from its texts.
//
// A live-caption application pushes the lines on its display, broken by width, oldest first. As
// speech goes on the top line scrolls away, so the beginning of a sentence can leave the text
// before its end arrives, and the recogniser may rewrite its last few words in the next text.
// Cutting each text into sentences on its own would turn every scroll into new "sentences".
// Instead each text is merged into the words known so far where its beginning overlaps their
// end, and sentences are cut from the merged words:
//
// - The overlap is the longest run of the text's first words that equals known words reaching to
//   (or, for a rewrite, to within kRewritableWords of) the end of what is known; the rest of the
//   text follows it. A one-word overlap counts at the very end; replacing known words needs more
//   matched words than it replaces, or (for one word) the text to begin where the previous one
//   began: a one-line display that rewrites the only word on it.
// - A text that overlaps nothing follows what is known: a one-line display that wrapped, or a
//   display that scrolled further than it shows, shares no word with the text before it.
// - An empty text (a cleared display, a sender gone) ends the transcript: the open sentence is
//   finished as it stands, and the next text begins anew.
// - An ASCII `.`, `?`, `!` or `…` at the end of a word ends a sentence (so "3.5" or
//   "example.org" stay whole, "Mr." splits); the full-width `。．？！` end one wherever they stand,
//   because the scripts that use them put no space between sentences. The sentence is finished
//   once a word follows its end: until then the recogniser may still rewrite its last word. An
//   open sentence that has not changed for longer than the stable time-out, or that would grow
//   past a row's size, is finished as it stands.
// - A finished sentence never changes again: a rewrite that reaches into one changes the known
//   words (for the next text to overlap), not the sentence.
//
// Bounded: only the last kKeptBytes of known words and of each text are kept. Used by the
// caption worker alone.
class StreamTranscript {
 public:
  static constexpr size_t kKeptBytes = 8 * 1024;
  static constexpr size_t kRewritableWords = 3;

  // The sentence tracker finishes a bottom row that stays unchanged for longer than
  // `stable_timeout`; the open sentence is finished by the same rule, no later, so that the
  // words that follow start a sentence of their own instead of repeating it.
  explicit StreamTranscript(std::chrono::milliseconds stable_timeout);

  // Merges one text of the stream, read at `now`.
  void Merge(std::string_view text, Clock::TimePoint now);

  // Rows for one poll of the sentence tracker, joined by CaptionSeparator: a few finished
  // sentences and the open one last (or the last finished one while none is open). The tracker
  // finishes only the row above the bottom one on a poll, so each call shows at most one
  // finished sentence more than the call before: a text that finished several at once hands
  // them over one per poll, none skipped.
  std::string TakeRows(Clock::TimePoint now);

  // The tracker has read another source since: the finished sentences it was handed are left out
  // of the rows from now on, so that it does not take them for new ones.
  void ForgetHandedOver();

 private:
  std::optional<size_t> Overlap(const std::vector<std::string>& shown) const;
  void FinishIfStale(Clock::TimePoint now);
  void FinishOpen(size_t end);
  void CutSentences();
  void DropOldWords();

  const std::chrono::milliseconds stable_timeout_;
  std::vector<std::string> words_;    // known words, oldest first
  size_t open_begin_ = 0;             // words_ before this belong to finished sentences
  size_t top_ = 0;                    // where the last merged text began in words_
  Clock::TimePoint changed_{};        // when words_ last changed
  std::deque<std::string> finished_;  // finished sentences the tracker may still need
  size_t shown_ = 0;                  // finished_ before this have been handed over
};

}  // namespace quensary
