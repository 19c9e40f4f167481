#include "translate/translate_script.h"

#include <gtest/gtest.h>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

TEST(TranslateScript, TextsArriveExactlyAndNothingInThemRuns) {
  const std::pair<std::string, std::string> cases[] = {
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
  for (const auto& [text, literal] : cases) {
    EXPECT_EQ(TranslateScript(text, "e`n", "${t}", {text, true}),
              RevealText(Sealed::TranslateScriptHead) + literal + "`,`e\\`n`,`\\${t}`,{line:`" +
                  literal + "`,finish:true}" + RevealText(Sealed::TranslateScriptTail))
        << text;
  }
}

TEST(TranslateScript, AnswersAreToldFromFailuresAndReasonsFitOneLine) {
  using Kind = TranslateAnswer::Kind;
  const std::string long_reason(400, 'x');
  const struct {
    std::string answer;
    Kind kind;
    std::string text;
  } cases[] = {
      {"Hola", Kind::kTranslated, "Hola"},
      {" \x01 inside", Kind::kTranslated, " \x01 inside"},
      {"", Kind::kNoAnswer, ""},
      {"\x02", Kind::kNotLoaded, ""},
      {"\x02late", Kind::kTranslated, "\x02late"},
      {"\x03", Kind::kOvertaken, ""},
      {"\x01", Kind::kFailed, ""},
      {"\x01  DeepL refused the key\n(403)\t ", Kind::kFailed, "DeepL refused the key (403)"},
      {"\x01" + long_reason, Kind::kFailed, long_reason.substr(0, kMaxReasonBytes)},
      {"\x01"
       "caf\xC3",
       Kind::kFailed, "caf\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    const TranslateAnswer read = ReadTranslateAnswer(c.answer);
    EXPECT_EQ(read.kind, c.kind) << c.answer;
    EXPECT_EQ(read.text, c.text) << c.answer;
  }
}

}  // namespace
}  // namespace quensary
