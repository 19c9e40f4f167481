#include "translate/translate_script.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"
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

std::string TranslateScript(std::string_view text, std::string_view source, std::string_view target,
                            LineFacts line) {
  // An expression, since the page seam returns the value of its script; its promise is awaited.
  std::string script = RevealText(Sealed::TranslateScriptHead);
  script += TemplateLiteralContents(text);
  script += "`,`";
  script += TemplateLiteralContents(source);
  script += "`,`";
  script += TemplateLiteralContents(target);
  script += "`,{line:`";
  script += TemplateLiteralContents(line.id);
  script += line.finish ? "`,finish:true}" : "`,finish:false}";
  script += RevealText(Sealed::TranslateScriptTail);
  return script;
}

std::string LanguagesScript() {
  return RevealText(Sealed::LanguagesScript);
}

TranslateAnswer ReadTranslateAnswer(std::string_view answer) {
  using Kind = TranslateAnswer::Kind;
  if (answer.empty())
    return {Kind::kNoAnswer, {}};
  if (answer.front() == kNotLoadedMark && answer.size() == 1)
    return {Kind::kNotLoaded, {}};
  if (answer.front() == kOvertakenMark && answer.size() == 1)
    return {Kind::kOvertaken, {}};
  if (answer.front() != kFailureMark)
    return {Kind::kTranslated, std::string(answer)};
  std::string reason = ValidUtf8(Utf8Head(answer.substr(1), kMaxReasonBytes));
  for (char& c : reason) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
      c = ' ';
  }
  const size_t first = reason.find_first_not_of(' ');
  const size_t last = reason.find_last_not_of(' ');
  return {Kind::kFailed,
          first == std::string::npos ? std::string() : reason.substr(first, last - first + 1)};
}

}  // namespace quensary
