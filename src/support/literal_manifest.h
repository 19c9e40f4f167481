#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quensary {

// One entry of the literal manifest: the name the code uses and the plain text it stands for.
struct ManifestEntry {
  std::string name;
  std::string plain;
};

// Parses the literal manifest: one entry a line, "Name<TAB>text"; the text may use the escapes
// \n, \t and \\. Blank lines and lines starting with '#' are skipped. Absent (with a reason in
// `error`) on a malformed line, a name that is not a C++ identifier, or a repeated name.
std::optional<std::vector<ManifestEntry>> ParseLiteralManifest(std::string_view text,
                                                               std::string* error = nullptr);

}  // namespace quensary
