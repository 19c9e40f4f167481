#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quensary {

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `bytes` (1 to 4), or 0 when it is
// ill-formed; `*bad` then holds how many bytes form its longest valid-looking start, which is
// replaced by one U+FFFD (the usual "maximal subpart" rule). `bytes` must not be empty.
size_t Utf8SequenceLength(std::string_view bytes, size_t* bad);

// The text with every ill-formed piece replaced by U+FFFD by that rule; valid text unchanged.
// Texts that reach a page (the caption-line JSON, an engine's script) go through this, so one
// damaged byte never makes a whole script invalid.
std::string ValidUtf8(std::string_view text);

// The text's first `max_bytes` bytes at most, never ending inside a UTF-8 sequence.
std::string_view Utf8Head(std::string_view text, size_t max_bytes);

}  // namespace quensary
