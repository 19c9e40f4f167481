#include "history/caption_line.h"

#include <cstddef>
#include <string_view>

#include "support/valid_utf8.h"

namespace quensary {
namespace {

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
    const size_t length = Utf8SequenceLength(text.substr(i), &bad);
    if (length == 0) {
      out += kReplacementCharacter;
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
    estimate += line->Id.size() + line->Ori.size() + line->Tar.size() + line->Fail.size() + 48;
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
    if (!line.Fail.empty()) {
      out += ",\"Fail\":";
      AppendJsonString(out, line.Fail);
    }
    out += '}';
  }
  out += ']';
  return out;
}

}  // namespace quensary
