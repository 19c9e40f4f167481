#include "support/valid_utf8.h"

namespace quensary {

size_t Utf8SequenceLength(std::string_view bytes, size_t* bad) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // no overlong forms
    if (lead == 0xED)
      high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;  // nothing above U+10FFFF
  } else {
    *bad = 1;
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    const bool in_range =
        i < bytes.size() && byte(i) >= (i == 1 ? low : 0x80) && byte(i) <= (i == 1 ? high : 0xBF);
    if (!in_range) {
      *bad = i;
      return 0;
    }
  }
  return length;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t bad = 0;
    const size_t length = Utf8SequenceLength(text.substr(i), &bad);
    if (length == 0) {
      out += kReplacementCharacter;
      i += bad;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string_view Utf8Head(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes)
    return text;
  size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return text.substr(0, end);
}

}  // namespace quensary
