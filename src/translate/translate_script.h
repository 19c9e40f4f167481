#pragma once

#include <string>
#include <string_view>

namespace quensary {

// The script that awaits the engine page's `trans` with the sentence, the source language and
// the target language as three template literals:
//   await trans(`text`,`source`,`target`)
// Each text is escaped so that the page receives it exactly as given and nothing in it runs:
// a backslash, a backquote and the substitution opener "${" are escaped, and so is a carriage
// return, which a template literal would otherwise turn into a line feed. Bytes that are not
// UTF-8 become U+FFFD, so a damaged caption still gets translated.
std::string TranslateScript(std::string_view text, std::string_view source,
                            std::string_view target);

// One text as the contents of a template literal, escaped as described above.
std::string TemplateLiteralContents(std::string_view text);

}  // namespace quensary
