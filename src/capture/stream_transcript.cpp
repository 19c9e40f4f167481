#include "capture/stream_transcript.h"

#include <algorithm>
#include <array>

#include "capture/caption_separator.h"
#include "capture/row_text.h"

namespace quensary {
namespace {

// Finished sentences kept above the bottom row: the tracker looks at the one right above it.
constexpr size_t kRowsAbove = 2;

// Ends a sentence at the end of a word.
constexpr std::array<std::string_view, 4> kSpacedEnds = {".", "?", "!", "\xE2\x80\xA6"};
// Ends a sentence wherever it stands: 。 ． ？ ！
constexpr std::array<std::string_view, 4> kFullWidthEnds = {"\xE3\x80\x82", "\xEF\xBC\x8E",
                                                            "\xEF\xBC\x9F", "\xEF\xBC\x81"};

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

size_t FullWidthEndAt(std::string_view text, size_t at) {
  for (std::string_view end : kFullWidthEnds) {
    if (text.substr(at).starts_with(end))
      return end.size();
  }
  return 0;
}

bool EndsSentence(std::string_view word) {
  return std::ranges::any_of(kSpacedEnds, [&](auto end) { return word.ends_with(end); }) ||
         std::ranges::any_of(kFullWidthEnds, [&](auto end) { return word.ends_with(end); });
}

// The last kKeptBytes of a text, from the first whole word in them.
std::string_view Tail(std::string_view text) {
  if (text.size() <= StreamTranscript::kKeptBytes)
    return text;
  size_t begin = text.size() - StreamTranscript::kKeptBytes;
  while (begin < text.size() && !IsSpace(text[begin]))
    ++begin;
  return text.substr(begin);
}

// Words split at white space (a line break is a space like any other) and after each full-width
// sentence end, so that a sentence always ends at the end of a word.
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  const auto flush = [&] {
    if (!word.empty())
      words.push_back(std::move(word));
    word.clear();
  };
  for (size_t at = 0; at < text.size();) {
    if (IsSpace(text[at])) {
      flush();
      ++at;
    } else if (const size_t end = FullWidthEndAt(text, at)) {
      word.append(text.substr(at, end));
      flush();
      at += end;
    } else {
      word += text[at++];
    }
  }
  flush();
  return words;
}

std::string Join(const std::vector<std::string>& words, size_t begin, size_t end) {
  std::string joined;
  for (size_t i = begin; i < end; ++i) {
    if (i > begin)
      joined += ' ';
    joined += words[i];
  }
  return joined;
}

void AddRow(std::string& rows, std::string_view sentence) {
  const std::string_view row = CaptionRow(sentence);
  if (row.empty())
    return;
  if (!rows.empty())
    rows += CaptionSeparator;
  rows += row;
}

}  // namespace

StreamTranscript::StreamTranscript(std::chrono::milliseconds stable_timeout)
    : stable_timeout_(stable_timeout) {}

void StreamTranscript::Merge(std::string_view text, Clock::TimePoint now) {
  // Words after a long pause begin a sentence of their own.
  FinishIfStale(now);
  std::vector<std::string> shown = Words(Tail(text));
  if (shown.empty()) {
    FinishOpen(words_.size());
    words_.clear();
    open_begin_ = top_ = 0;
    return;
  }
  const size_t from = Overlap(shown).value_or(words_.size());
  std::vector<std::string> merged(words_.begin(), words_.begin() + static_cast<ptrdiff_t>(from));
  merged.insert(merged.end(), std::make_move_iterator(shown.begin()),
                std::make_move_iterator(shown.end()));
  top_ = from;
  if (merged == words_)
    return;
  // The words mirror the display, for the next text to overlap; a rewrite that reaches into a
  // finished sentence changes them, not the sentence, and the open one still begins where it did.
  words_ = std::move(merged);
  open_begin_ = std::min(open_begin_, words_.size());
  changed_ = now;
  CutSentences();
  DropOldWords();
}

std::optional<size_t> StreamTranscript::Overlap(const std::vector<std::string>& shown) const {
  const size_t known = words_.size();
  // Earlier starts would replace more than kRewritableWords known words.
  const size_t lowest =
      known > shown.size() + kRewritableWords ? known - shown.size() - kRewritableWords : 0;
  std::optional<size_t> best;
  size_t best_matched = 0;
  size_t best_replaced = 0;
  for (size_t at = lowest; at < known; ++at) {
    const size_t most = std::min(shown.size(), known - at);
    if (best && most < best_matched)
      break;  // later starts match fewer words still
    size_t matched = 0;
    while (matched < most && words_[at + matched] == shown[matched])
      ++matched;
    const size_t replaced = known - at - matched;
    const bool fits = replaced == 0 ? matched > 0
                                    : replaced <= kRewritableWords &&
                                          (matched > replaced || (at == top_ && replaced == 1));
    if (fits && (!best || matched > best_matched ||
                 (matched == best_matched && replaced < best_replaced))) {
      best = at;
      best_matched = matched;
      best_replaced = replaced;
    }
  }
  return best;
}

void StreamTranscript::FinishIfStale(Clock::TimePoint now) {
  if (open_begin_ < words_.size() && now - changed_ > stable_timeout_)
    FinishOpen(words_.size());
}

void StreamTranscript::FinishOpen(size_t end) {
  if (end <= open_begin_)
    return;
  finished_.push_back(Join(words_, open_begin_, end));
  open_begin_ = end;
}

void StreamTranscript::CutSentences() {
  size_t bytes = 0;
  for (size_t i = open_begin_; i < words_.size(); ++i) {
    // A sentence that never ends is cut before it outgrows a row, rather than losing its end.
    if (i > open_begin_ && bytes + 1 + words_[i].size() > kMaxRowBytes) {
      FinishOpen(i);
      bytes = 0;
    }
    bytes += (i > open_begin_ ? 1 : 0) + words_[i].size();
    // The recogniser may still rewrite a sentence's last word until the next one follows it.
    if (i + 1 < words_.size() && EndsSentence(words_[i])) {
      FinishOpen(i + 1);
      bytes = 0;
    }
  }
}

void StreamTranscript::DropOldWords() {
  size_t bytes = 0;
  for (const auto& word : words_)
    bytes += word.size() + 1;
  size_t drop = 0;
  while (drop < open_begin_ && bytes > kKeptBytes)
    bytes -= words_[drop++].size() + 1;
  if (drop == 0)
    return;
  words_.erase(words_.begin(), words_.begin() + static_cast<ptrdiff_t>(drop));
  open_begin_ -= drop;
  top_ = top_ > drop ? top_ - drop : 0;
}

std::string StreamTranscript::TakeRows(Clock::TimePoint now) {
  FinishIfStale(now);
  // One more finished sentence goes above the bottom row, if a row is there to go under it.
  if (shown_ < finished_.size() && (shown_ + 1 < finished_.size() || open_begin_ < words_.size()))
    ++shown_;
  while (shown_ > kRowsAbove) {
    finished_.pop_front();
    --shown_;
  }
  std::string rows;
  for (size_t i = 0; i < shown_; ++i)
    AddRow(rows, finished_[i]);
  AddRow(rows,
         shown_ < finished_.size() ? finished_[shown_] : Join(words_, open_begin_, words_.size()));
  return rows;
}

void StreamTranscript::ForgetHandedOver() {
  finished_.erase(finished_.begin(), finished_.begin() + static_cast<ptrdiff_t>(shown_));
  shown_ = 0;
}

}  // namespace quensary
