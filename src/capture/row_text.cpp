#include "capture/row_text.h"

#include <glib.h>

namespace quensary {
namespace {

// White space and line breaks in the Unicode sense: the separators of categories Zs, Zl and Zp,
// the control characters tab to carriage return, and NEL.
bool IsWhitespaceOrNewline(gunichar c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
    return true;
  switch (g_unichar_type(c)) {
    case G_UNICODE_SPACE_SEPARATOR:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const gunichar c =
        g_utf8_get_char_validated(text.data() + begin, static_cast<gssize>(text.size() - begin));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2) ||
        !IsWhitespaceOrNewline(c))
      break;
    begin = static_cast<size_t>(g_utf8_next_char(text.data() + begin) - text.data());
  }
  size_t end = text.size();
  while (end > begin) {
    // Step back to the start of the last character: skip continuation bytes.
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
      --start;
    const gunichar c =
        g_utf8_get_char_validated(text.data() + start, static_cast<gssize>(end - start));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2) ||
        !IsWhitespaceOrNewline(c))
      break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace

std::string_view CaptionRow(std::string_view row) {
  row = Trim(row);
  if (row.size() <= kMaxRowBytes)
    return row;
  size_t end = kMaxRowBytes;
  // Back to the start of the character that would be cut: skip continuation bytes.
  while (end > 0 && (static_cast<unsigned char>(row[end]) & 0xC0) == 0x80)
    --end;
  return Trim(row.substr(0, end));
}

}  // namespace quensary
