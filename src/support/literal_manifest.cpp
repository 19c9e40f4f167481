#include "support/literal_manifest.h"

#include <set>

namespace quensary {
namespace {

bool IsIdentifier(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
    return false;
  for (char c : name) {
    const bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok)
      return false;
  }
  return true;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size())
      return std::nullopt;
    switch (text[i]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::optional<std::vector<ManifestEntry>> ParseLiteralManifest(std::string_view text,
                                                               std::string* error) {
  std::vector<ManifestEntry> entries;
  std::set<std::string, std::less<>> names;
  size_t line_number = 0;
  auto fail = [&](const std::string& why) -> std::optional<std::vector<ManifestEntry>> {
    if (error)
      *error = "line " + std::to_string(line_number) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line[0] == '#')
      continue;
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos)
      return fail("expected a name, a tab and the text");
    const std::string_view name = line.substr(0, tab);
    if (!IsIdentifier(name))
      return fail("the name is not an identifier");
    auto plain = Unescape(line.substr(tab + 1));
    if (!plain)
      return fail("unknown escape in the text");
    if (!names.emplace(name).second)
      return fail("the name is used twice");
    entries.push_back({std::string(name), std::move(*plain)});
  }
  return entries;
}

}  // namespace quensary
