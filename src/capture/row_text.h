#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quensary {

// A caption row longer than this is cut: no one reads a sentence of thousands of characters, and
// a broken or hostile provider must not make every tick copy megabytes into lines and history.
inline constexpr size_t kMaxRowBytes = 4096;

// Trims white space and line breaks (in the Unicode sense) from both ends. Bytes that are not
// valid UTF-8 count as text, so a damaged value is kept rather than cut inside a character.
std::string_view Trim(std::string_view text);

// The row cut to at most kMaxRowBytes, never inside a UTF-8 sequence.
std::string_view CapRow(std::string_view row);

}  // namespace quensary
