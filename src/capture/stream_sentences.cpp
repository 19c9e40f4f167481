#include "capture/stream_sentences.h"

#include <array>

#include "capture/caption_separator.h"
#include "capture/row_text.h"

namespace quensary {
namespace {

// Ends a sentence where a space or the end follows.
constexpr std::array<std::string_view, 4> kSpacedEnds = {".", "?", "!", "\xE2\x80\xA6"};
// Ends a sentence wherever it stands: 。 ． ？ ！
constexpr std::array<std::string_view, 4> kFullWidthEnds = {"\xE3\x80\x82", "\xEF\xBC\x8E",
                                                            "\xEF\xBC\x9F", "\xEF\xBC\x81"};

bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

// The length of the sentence end at `at`, or 0. Line breaks are spaces by now.
size_t SentenceEndAt(std::string_view text, size_t at) {
  const std::string_view rest = text.substr(at);
  for (std::string_view end : kFullWidthEnds) {
    if (rest.starts_with(end))
      return end.size();
  }
  for (std::string_view end : kSpacedEnds) {
    if (!rest.starts_with(end))
      continue;
    const size_t after = at + end.size();
    if (after == text.size() || text[after] == ' ')
      return end.size();
  }
  return 0;
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

std::string StreamSentences(std::string_view text) {
  // A line break (LF, CR or CRLF) becomes one space.
  std::string joined;
  joined.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
      continue;
    joined += IsLineBreak(text[at]) ? ' ' : text[at];
  }
  std::string rows;
  size_t begin = 0;
  for (size_t at = 0; at < joined.size();) {
    if (const size_t end = SentenceEndAt(joined, at)) {
      at += end;
      AddRow(rows, std::string_view(joined).substr(begin, at - begin));
      begin = at;
    } else {
      ++at;
    }
  }
  AddRow(rows, std::string_view(joined).substr(begin));
  return rows;
}

}  // namespace quensary
