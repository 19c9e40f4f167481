#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "capture/caption_separator.h"

namespace quensary::testing {

// The provider's rows, top to bottom, as the caption reader joins them into one text.
inline std::string JoinedRows(std::initializer_list<std::string_view> rows) {
  std::string text;
  for (const auto row : rows) {
    if (!text.empty())
      text += CaptionSeparator;
    text += row;
  }
  return text;
}

}  // namespace quensary::testing
