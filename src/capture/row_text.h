#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quensary {

// A caption row longer than this is cut: no one reads a sentence of thousands of characters, and
// a broken or hostile provider must not make every tick copy megabytes into lines and history.
inline constexpr size_t kMaxRowBytes = 4096;

// A row as the tracker takes it: trimmed of white space and line breaks in the Unicode sense
// (bytes that are not valid UTF-8 count as text, so a damaged value is kept), cut to at most
// kMaxRowBytes (never inside a UTF-8 sequence) and trimmed again where the cut left white space at
// its end.
std::string_view CaptionRow(std::string_view row);

}  // namespace quensary
