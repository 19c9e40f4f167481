#include "history/caption_line.h"

#include <cstddef>
#include <string_view>

namespace quensary {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at the start of `bytes` (1 to 4), or 0 when it is
// not well-formed; `*bad` then holds the length of its longest valid-looking start, which is
// replaced by one U+FFFD (the usual "maximal subpart" rule).
size_t SequenceLength(std::string_view bytes, size_t* bad) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
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

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t i = 0;
  while (i < text.size()) {
    // Copy runs of plain ASCII in one go.
    size_t plain = i;
    while (plain < text.size()) {
      const auto c = static_cast<unsigned char>(text[plain]);
      if (c < 0x20 || c == '"' || c == '\\' || c >= 0x80)
        break;
      ++plain;
    }
    out.append(text, i, plain - i);
    i = plain;
    if (i == text.size())
      break;

    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
      }
      ++i;
      continue;
    }
    size_t bad = 0;
    const size_t length = SequenceLength(text.substr(i), &bad);
    if (length == 0) {
      out += kReplacement;
      i += bad;
      continue;
    }
    const std::string_view sequence = text.substr(i, length);
    // U+2028 and U+2029 are valid in JSON but ended script lines in older script engines; the
    // pages receive this text inside a script call, so they are escaped.
    if (sequence == "\xE2\x80\xA8")
      out += "\\u2028";
    else if (sequence == "\xE2\x80\xA9")
      out += "\\u2029";
    else
      out += sequence;
    i += length;
  }
  out += '"';
}

}  // namespace

std::string CaptionLinesJson(std::span<const CaptionLinePtr> lines) {
  std::string out;
  size_t estimate = 2;
  for (const auto& line : lines)
    estimate += line->Id.size() + line->Ori.size() + line->Tar.size() + 48;
  out.reserve(estimate);
  out += '[';
  for (size_t i = 0; i < lines.size(); ++i) {
    const CaptionLine& line = *lines[i];
    if (i > 0)
      out += ',';
    out += "{\"Id\":";
    AppendJsonString(out, line.Id);
    out += ",\"Ori\":";
    AppendJsonString(out, line.Ori);
    out += line.Finish ? ",\"Finish\":true,\"Tar\":" : ",\"Finish\":false,\"Tar\":";
    AppendJsonString(out, line.Tar);
    out += '}';
  }
  out += ']';
  return out;
}

}  // namespace quensary
