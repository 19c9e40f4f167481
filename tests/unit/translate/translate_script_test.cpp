#include "translate/translate_script.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

TEST(TranslateScript, TextsArriveExactlyAndNothingInThemRuns) {
  const std::pair<std::string, std::string> cases[] = {
      {"Good morning, everyone.", "Good morning, everyone."},
      {"", ""},
      // Quotes, non-ASCII text and a lone dollar sign or brace need nothing.
      {"It's \"$5\" {ok} \xE4\xBD\xA0\xE5\xA5\xBD $",
       "It's \"$5\" {ok} \xE4\xBD\xA0\xE5\xA5\xBD $"},
      // A backquote cannot close the literal, also after a backslash.
      {"`),alert(1);(`", R"(\`),alert(1);(\`)"},
      {R"(C:\new\u0041 \`)", R"(C:\\new\\u0041 \\\`)"},
      // Substitutions do not run.
      {"cost ${x} $${ \\${y}", R"(cost \${x} $\${ \\\${y})"},
      // A line feed stays raw; a carriage return, which a literal would turn into a line feed,
      // goes as an escape.
      {"one\r\ntwo\r", "one\\r\ntwo\\r"},
      // One damaged byte must not stop the whole script: it becomes U+FFFD.
      {"caf\xC3 ok \xFF", "caf\xEF\xBF\xBD ok \xEF\xBF\xBD"},
  };
  for (const auto& [text, literal] : cases)
    EXPECT_EQ(TranslateScript(text, "e`n", "${t}"),
              "await trans(`" + literal + "`,`e\\`n`,`\\${t}`)")
        << text;
}

}  // namespace
}  // namespace quensary
