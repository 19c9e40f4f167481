#include "translate/translator_profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quensary {
namespace {

// A complete profile object, in which `member` has the raw JSON value `value` instead of its usual
// one, or is left out when `value` is absent.
std::string ProfileJson(const std::string& member = "",
                        const std::optional<std::string>& value = std::nullopt) {
  const std::pair<std::string, std::string> members[] = {
      {"Delay", "500"},
      {"Cot", "2"},
      {"Id", R"("apertium")"},
      {"Name", R"("Apertium, offline")"},
      {"Url", R"("http://127.0.0.1:2737/")"},
      {"BeforeJs", R"("window.a=1;")"},
      {"Js", R"("window.trans=async t=>t;")"},
  };
  std::string json;
  for (const auto& [name, usual] : members) {
    if (name == member && !value)
      continue;
    json += json.empty() ? "{" : ",";
    json += "\"" + name + "\":" + (name == member ? *value : usual);
  }
  return json + "}";
}

TEST(DecodeProfile, ReadsAllSevenMembersAndIgnoresExtras) {
  const auto profile = DecodeProfile(R"({"Extra":[1,2],"Js":"j","BeforeJs":"b","Url":"u",)"
                                     R"("Name":"n","Id":"i","Cot":-3,"Delay":250,"More":null})");
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->Delay, 250);
  EXPECT_EQ(profile->Cot, -3);
  EXPECT_EQ(profile->Id, "i");
  EXPECT_EQ(profile->Name, "n");
  EXPECT_EQ(profile->Url, "u");
  EXPECT_EQ(profile->BeforeJs, "b");
  EXPECT_EQ(profile->Js, "j");
}

TEST(DecodeProfile, KeepsTextsExactlyAndIntegersAtTheEdgesOfTheRange) {
  const auto profile = DecodeProfile(
      R"({"Delay":9223372036854775807,"Cot":-9223372036854775808,"Id":"a\"b\\c\u00e9\n",)"
      R"("Name":"","Url":"","BeforeJs":"","Js":"`${x}`"})");
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->Delay, INT64_MAX);
  EXPECT_EQ(profile->Cot, INT64_MIN);
  EXPECT_EQ(profile->Id, "a\"b\\c\xC3\xA9\n");
  EXPECT_EQ(profile->Js, "`${x}`");
}

TEST(DecodeProfile, EveryMemberIsRequired) {
  ASSERT_TRUE(DecodeProfile(ProfileJson()));
  for (const char* member : {"Delay", "Cot", "Id", "Name", "Url", "BeforeJs", "Js"}) {
    const std::string text = ProfileJson(member, std::nullopt);
    EXPECT_FALSE(DecodeProfile(text)) << "without " << member << ": " << text;
  }
}

TEST(DecodeProfile, RefusesValuesOfTheWrongKind) {
  const std::pair<const char*, const char*> bad[] = {
      {"Delay", R"(250.5)"},
      {"Delay", R"(250.0)"},
      {"Delay", R"(1e3)"},
      {"Delay", R"("500")"},
      {"Delay", R"(null)"},
      {"Delay", R"(true)"},
      {"Delay", R"(9223372036854775808)"},
      {"Cot", R"("2")"},
      {"Cot", R"([2])"},
      {"Id", R"(7)"},
      {"Name", R"(null)"},
      {"Url", R"({"href":"x"})"},
      {"BeforeJs", R"(false)"},
      {"Js", R"(["x"])"},
  };
  for (const auto& [member, with] : bad) {
    const std::string text = ProfileJson(member, with);
    EXPECT_FALSE(DecodeProfile(text)) << text;
  }
}

TEST(DecodeProfile, RefusesTextThatIsNotOneProfileObject) {
  for (const std::string& text :
       {std::string(""), std::string("null"), std::string("[") + ProfileJson() + "]",
        ProfileJson() + ProfileJson(), ProfileJson().substr(0, 40), std::string("\"x\""),
        // Invalid UTF-8 inside a string member.
        ProfileJson("Name", "\"\xC3\x28\"")}) {
    EXPECT_FALSE(DecodeProfile(text)) << text;
  }
}

TEST(DecodeProfileList, KeepsArrayOrderAndAcceptsTheEmptyArray) {
  const auto decoded = DecodeProfileList("[" + ProfileJson("Id", R"("first")") + ",\n " +
                                         ProfileJson("Id", R"("second")") + "]");
  ASSERT_TRUE(std::holds_alternative<TranslatorProfileList>(decoded));
  const auto& list = std::get<TranslatorProfileList>(decoded);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->Id, "first");
  EXPECT_EQ(list[1]->Id, "second");

  const auto empty = DecodeProfileList(" [ ] ");
  ASSERT_TRUE(std::holds_alternative<TranslatorProfileList>(empty));
  EXPECT_TRUE(std::get<TranslatorProfileList>(empty).empty());
}

TEST(DecodeProfileList, OneUnreadableElementMakesTheWholeListUnreadable) {
  const auto decoded =
      DecodeProfileList("[" + ProfileJson() + "," + ProfileJson("Delay", "250.5") + "]");
  ASSERT_TRUE(std::holds_alternative<std::string>(decoded));
  EXPECT_NE(std::get<std::string>(decoded).find("Delay"), std::string::npos)
      << std::get<std::string>(decoded);
}

TEST(DecodeProfileList, DescribesWhyTextIsNotAList) {
  for (const std::string& text : {std::string("{}"), ProfileJson(), std::string("[1,"),
                                  std::string("not json"), std::string("[null]")}) {
    const auto decoded = DecodeProfileList(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(decoded)) << text;
    EXPECT_FALSE(std::get<std::string>(decoded).empty()) << text;
  }
}

}  // namespace
}  // namespace quensary
