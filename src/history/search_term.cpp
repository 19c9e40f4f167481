#include "history/search_term.h"

#include <cstddef>

#include "support/valid_utf8.h"

namespace quensary {
namespace {

constexpr size_t kTrigram = 3;
constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8)
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

std::optional<SearchTerm> SearchTermFor(std::string_view typed) {
  const std::string valid = ValidUtf8(typed);
  const size_t first = valid.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos)
    return std::nullopt;
  const std::string_view text =
      std::string_view(valid).substr(first, valid.find_last_not_of(kWhiteSpace) - first + 1);
  SearchTerm term;
  if (CharacterCount(text) >= kTrigram) {
    term.kind = SearchTerm::Kind::kPhrase;
    term.text = "\"";
    for (const char c : text)
      term.text += c == '"' ? std::string("\"\"") : std::string(1, c);
    term.text += '"';
  } else {
    term.kind = SearchTerm::Kind::kLikePattern;
    term.text = "%";
    for (const char c : text) {
      if (c == '%' || c == '_' || c == '\\')
        term.text += '\\';
      term.text += c;
    }
    term.text += '%';
  }
  return term;
}

}  // namespace quensary
