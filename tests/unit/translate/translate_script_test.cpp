#include "translate/translate_script.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

TEST(TranslateScript, OrdinaryTextsBecomeThreeTemplateLiteralsWithoutSpaces) {
  EXPECT_EQ(TranslateScript("Good morning, everyone.", "en", "es"),
            "await trans(`Good morning, everyone.`,`en`,`es`)");
  EXPECT_EQ(TranslateScript("", "", ""), "await trans(``,``,``)");
  // Quotes, non-ASCII text and a lone dollar sign or brace need nothing.
  EXPECT_EQ(TranslateScript("It's \"$5\" {ok} \xE4\xBD\xA0\xE5\xA5\xBD $", "zh", "en"),
            "await trans(`It's \"$5\" {ok} \xE4\xBD\xA0\xE5\xA5\xBD $`,`zh`,`en`)");
}

TEST(TranslateScript, BackquotesCannotCloseTheLiteral) {
  EXPECT_EQ(TranslateScript("say `hi`", "en", "es"), R"(await trans(`say \`hi\``,`en`,`es`))");
  EXPECT_EQ(TranslateScript("`),alert(1);(`", "en", "es"),
            R"(await trans(`\`),alert(1);(\``,`en`,`es`))");
}

TEST(TranslateScript, BackslashesArriveAsThemselves) {
  EXPECT_EQ(TranslateScript(R"(C:\new\u0041 \)", "en", "es"),
            R"(await trans(`C:\\new\\u0041 \\`,`en`,`es`))");
  // A backslash before a backquote must not swallow the escape of the backquote.
  EXPECT_EQ(TranslateScript(R"(\`)", "en", "es"), R"(await trans(`\\\``,`en`,`es`))");
}

TEST(TranslateScript, SubstitutionsDoNotRun) {
  EXPECT_EQ(TranslateScript("cost ${x} and ${alert(1)}", "en", "es"),
            R"(await trans(`cost \${x} and \${alert(1)}`,`en`,`es`))");
  EXPECT_EQ(TranslateScript("$${", "en", "es"), R"(await trans(`$\${`,`en`,`es`))");
  // A backslash right before "${" is escaped on its own; the opener still is.
  EXPECT_EQ(TranslateScript(R"(\${x})", "en", "es"), R"(await trans(`\\\${x}`,`en`,`es`))");
}

TEST(TranslateScript, LineBreaksArriveUnchanged) {
  // A line feed is kept raw: template literals may span lines.
  EXPECT_EQ(TranslateScript("one\ntwo", "en", "es"), "await trans(`one\ntwo`,`en`,`es`)");
  // A template literal would turn a raw carriage return (alone or before a line feed) into a line
  // feed, so it goes as an escape.
  EXPECT_EQ(TranslateScript("one\r\ntwo\r", "en", "es"), R"(await trans(`one\r)"
                                                         "\n"
                                                         R"(two\r`,`en`,`es`))");
}

TEST(TranslateScript, LanguagesAreEscapedLikeTheText) {
  EXPECT_EQ(TranslateScript("hi", "e`n", "${t}"), R"(await trans(`hi`,`e\`n`,`\${t}`))");
}

}  // namespace
}  // namespace quensary
