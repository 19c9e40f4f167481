#include "translate/translator_profile.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

// A complete profile object, in which `member` has the raw JSON value `value` instead of its
// usual one, or is left out when `value` is null.
std::string ProfileJson(const std::string& member = "", const char* value = nullptr) {
  const std::pair<std::string, std::string> members[] = {
      {"Delay", "500"},          {"Cot", "2"},
      {"Id", R"("apertium")"},   {"Name", R"("Apertium")"},
      {"Url", R"("http://u/")"}, {"BeforeJs", R"("a=1;")"},
      {"Js", R"("b=2;")"}};
  std::string json;
  for (const auto& [name, usual] : members) {
    if (name != member || value)
      json += (json.empty() ? "{\"" : ",\"") + name + "\":" + (name == member ? value : usual);
  }
  return json + "}";
}

TEST(DecodeProfile, ReadsAllSevenMembersExactlyAndIgnoresExtras) {
  const auto profile = DecodeProfile(
      R"({"Extra":[1,2],"Js":"`${x}`","BeforeJs":"b","Url":"u","Name":"","Id":"a\"b\\c\u00e9\n",)"
      R"("Cot":-9223372036854775808,"Delay":9223372036854775807,"More":null})");
  ASSERT_TRUE(profile);
  EXPECT_EQ(std::tie(profile->Delay, profile->Cot), std::make_tuple(INT64_MAX, INT64_MIN));
  EXPECT_EQ(profile->Id + profile->Name + profile->Url + profile->BeforeJs + profile->Js,
            "a\"b\\c\xC3\xA9\nub`${x}`");
}

TEST(DecodeProfile, RefusesMissingMembersWrongKindsAndTextThatIsNotOneProfile) {
  ASSERT_TRUE(DecodeProfile(ProfileJson()));
  std::vector<std::string> bad{"", "null", "[" + ProfileJson() + "]", ProfileJson() + ProfileJson(),
                               ProfileJson().substr(0, 40)};
  for (const char* member : {"Delay", "Cot", "Id", "Name", "Url", "BeforeJs", "Js"})
    bad.push_back(ProfileJson(member));
  for (const auto& [member, value] :
       std::vector<std::pair<const char*, const char*>>{{"Delay", "250.5"},
                                                        {"Delay", "250.0"},
                                                        {"Delay", R"("500")"},
                                                        {"Delay", "true"},
                                                        {"Delay", "9223372036854775808"},
                                                        {"Cot", "[2]"},
                                                        {"Id", "7"},
                                                        {"Name", "null"},
                                                        {"Url", "{}"},
                                                        {"BeforeJs", "false"},
                                                        {"Name", "\"\xC3\x28\""}})
    bad.push_back(ProfileJson(member, value));
  for (const auto& text : bad)
    EXPECT_FALSE(DecodeProfile(text)) << text;
}

TEST(DecodeProfileList, KeepsArrayOrderOrDescribesTheFirstFault) {
  const auto decoded = DecodeProfileList("[" + ProfileJson("Id", R"("first")") + ",\n " +
                                         ProfileJson("Id", R"("second")") + "]");
  ASSERT_TRUE(std::holds_alternative<TranslatorProfileList>(decoded));
  EXPECT_EQ(std::get<TranslatorProfileList>(decoded).at(1)->Id, "second");
  EXPECT_TRUE(std::get<TranslatorProfileList>(DecodeProfileList(" [ ] ")).empty());
  const auto one_bad =
      DecodeProfileList("[" + ProfileJson() + "," + ProfileJson("Delay", "2.5") + "]");
  EXPECT_NE(std::get<std::string>(one_bad).find("Delay"), std::string::npos);
  for (const std::string& text :
       {std::string("{}"), ProfileJson(), std::string("[1,"), std::string("[null]")})
    EXPECT_FALSE(std::get<std::string>(DecodeProfileList(text)).empty()) << text;
}

}  // namespace
}  // namespace quensary
