#include "translate/translator_profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quensary {
namespace {

// A complete profile object, in which `member` has the raw JSON value `value` instead of its
// usual one, or is left out when `value` is absent.
std::string ProfileJson(const std::string& member = "",
                        const std::optional<std::string>& value = std::nullopt) {
  const std::pair<std::string, std::string> members[] = {
      {"Delay", "500"},           {"Cot", "2"},
      {"Id", R"("apertium")"},    {"Name", R"("Apertium, offline")"},
      {"Url", R"("http://u/")"},  {"BeforeJs", R"("window.a=1;")"},
      {"Js", R"("window.b=2;")"},
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

TEST(DecodeProfile, ReadsAllSevenMembersExactlyAndIgnoresExtras) {
  const auto profile = DecodeProfile(
      R"({"Extra":[1,2],"Js":"`${x}`","BeforeJs":"b","Url":"u","Name":"","Id":"a\"b\\c\u00e9\n",)"
      R"("Cot":-9223372036854775808,"Delay":9223372036854775807,"More":null})");
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->Delay, INT64_MAX);
  EXPECT_EQ(profile->Cot, INT64_MIN);
  EXPECT_EQ(profile->Id, "a\"b\\c\xC3\xA9\n");
  EXPECT_EQ(profile->Name, "");
  EXPECT_EQ(profile->Url, "u");
  EXPECT_EQ(profile->BeforeJs, "b");
  EXPECT_EQ(profile->Js, "`${x}`");
}

TEST(DecodeProfile, RefusesMissingMembersWrongKindsAndTextThatIsNotOneProfile) {
  ASSERT_TRUE(DecodeProfile(ProfileJson()));
  std::vector<std::string> bad;
  for (const char* member : {"Delay", "Cot", "Id", "Name", "Url", "BeforeJs", "Js"})
    bad.push_back(ProfileJson(member, std::nullopt));
  for (const auto& [member, value] : std::vector<std::pair<const char*, const char*>>{
           {"Delay", "250.5"}, {"Delay", "250.0"}, {"Delay", "1e3"}, {"Delay", R"("500")"},
           {"Delay", "null"}, {"Delay", "true"}, {"Delay", "9223372036854775808"},
           {"Cot", "[2]"}, {"Id", "7"}, {"Name", "null"}, {"Url", R"({"href":"x"})"},
           {"BeforeJs", "false"}, {"Js", R"(["x"])"}, {"Name", "\"\xC3\x28\""}})
    bad.push_back(ProfileJson(member, value));
  for (const std::string& text : {std::string(""), std::string("null"), "[" + ProfileJson() + "]",
                                  ProfileJson() + ProfileJson(), ProfileJson().substr(0, 40)})
    bad.push_back(text);
  for (const auto& text : bad)
    EXPECT_FALSE(DecodeProfile(text)) << text;
}

TEST(DecodeProfileList, KeepsArrayOrderOrDescribesTheFirstFault) {
  const auto decoded = DecodeProfileList("[" + ProfileJson("Id", R"("first")") + ",\n " +
                                         ProfileJson("Id", R"("second")") + "]");
  ASSERT_TRUE(std::holds_alternative<TranslatorProfileList>(decoded));
  const auto& list = std::get<TranslatorProfileList>(decoded);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1]->Id, "second");
  EXPECT_TRUE(std::get<TranslatorProfileList>(DecodeProfileList(" [ ] ")).empty());

  const auto one_bad = DecodeProfileList("[" + ProfileJson() + "," + ProfileJson("Delay", "2.5") + "]");
  ASSERT_TRUE(std::holds_alternative<std::string>(one_bad));
  EXPECT_NE(std::get<std::string>(one_bad).find("Delay"), std::string::npos);
  for (const std::string& text : {std::string("{}"), ProfileJson(), std::string("[1,"),
                                  std::string("not json"), std::string("[null]")}) {
    const auto fault = DecodeProfileList(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(fault)) << text;
    EXPECT_FALSE(std::get<std::string>(fault).empty()) << text;
  }
}

}  // namespace
}  // namespace quensary
