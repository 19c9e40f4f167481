#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quensary {

// What a search of the history looks for, made from the text a person typed: always that text
// as it stands, never the index's query language. The full-text index works on runs of three
// characters, so a shorter text is looked up by a LIKE pattern instead, which reads every row.
struct SearchTerm {
  enum class Kind { kPhrase, kLikePattern };
  Kind kind;
  // An FTS5 phrase ("..." with quotes doubled) or a LIKE pattern (%...%, escaped with '\').
  std::string text;
};

// Absent for a text of nothing but white space. Surrounding white space is dropped and bytes
// that are not UTF-8 become U+FFFD.
std::optional<SearchTerm> SearchTermFor(std::string_view typed);

}  // namespace quensary
