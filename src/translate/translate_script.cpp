#include "translate/translate_script.h"

#include "support/valid_utf8.h"

namespace quensary {

std::string TemplateLiteralContents(std::string_view raw) {
  // A script must be valid UTF-8 as a whole, or it does not run at all.
  const std::string text = ValidUtf8(raw);
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '`':
        out += "\\`";
        break;
      case '\r':
        out += "\\r";
        break;
      case '$':
        // Only "${" opens a substitution; a lone dollar sign stays as it is.
        out += (i + 1 < text.size() && text[i + 1] == '{') ? "\\$" : "$";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string TranslateScript(std::string_view text, std::string_view source,
                            std::string_view target) {
  std::string script = "await trans(`";
  script += TemplateLiteralContents(text);
  script += "`,`";
  script += TemplateLiteralContents(source);
  script += "`,`";
  script += TemplateLiteralContents(target);
  script += "`)";
  return script;
}

}  // namespace quensary
