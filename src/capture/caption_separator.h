#pragma once

#include <string_view>

namespace quensary {

// U+1F495, the character that joins the provider's rows into one text and the only place where
// that text is split again.
inline constexpr std::string_view CaptionSeparator = "\xF0\x9F\x92\x95";

}  // namespace quensary
