#include "history/caption_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <vector>

namespace quensary {
namespace {

CaptionLinePtr Line(std::string id, std::string ori, bool finish, std::string tar) {
  return std::make_shared<CaptionLine>(std::move(id), std::move(ori), finish, std::move(tar));
}

std::string OriAsJson(const std::string& ori) {
  const std::string json = CaptionLinesJson(std::vector{Line("i", ori, false, "")});
  const std::string head = R"([{"Id":"i","Ori":)";
  return json.substr(head.size(), json.size() - head.size() - std::string(R"(,"Finish":false,"Tar":""}])").size());
}

TEST(CaptionLinesJson, CompactWithMembersInRecordOrder) {
  EXPECT_EQ(CaptionLinesJson({}), "[]");
  const std::vector lines{Line("2026-03-14 09:00:00.000001", "Hello there", true, "Hola"),
                          Line("2026-03-14 09:00:02.500000", "and", false, "")};
  EXPECT_EQ(CaptionLinesJson(lines),
            R"([{"Id":"2026-03-14 09:00:00.000001","Ori":"Hello there","Finish":true,)"
            R"("Tar":"Hola"},{"Id":"2026-03-14 09:00:02.500000","Ori":"and","Finish":false,)"
            R"("Tar":""}])");
}

TEST(CaptionLinesJson, TextsAreEscapedForAOneLineScriptCall) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {R"(she said "stop")", R"("she said \"stop\"")"},
      {R"(C:\path\n)", R"("C:\\path\\n")"},
      {"one\ntwo\r\nthree\ttab\b\f", R"("one\ntwo\r\nthree\ttab\b\f")"},
      {"bell\x07 \x01\x1f\x7f", R"("bell\u0007 \u0001\u001f)" "\x7f\""},
      {"\xE2\x80\xA8 \xE2\x80\xA9", R"("\u2028 \u2029")"},  // ended script lines in old engines
      {"</script> ${x} `t` \xF0\x9F\x92\x95 \xC3\xA9", "\"</script> ${x} `t` \xF0\x9F\x92\x95 \xC3\xA9\""},
      // Each ill-formed piece becomes one U+FFFD, so a damaged text never stops the publication.
      {"caf\xC3", "\"caf" + r + "\""},
      {"\xED\xA0\x80", "\"" + r + r + r + "\""},          // an encoded surrogate
      {"\xE0\x80\x80", "\"" + r + r + r + "\""},          // an overlong form
      {"\xF4\x90\x80\x80", "\"" + r + r + r + r + "\""},  // beyond U+10FFFF
      {"\xF0\x9F\x92x", "\"" + r + "x\""},                // a truncated sequence
      {"\xFF\xFE", "\"" + r + r + "\""},                  // bytes that never occur
  };
  for (const auto& [ori, json] : cases)
    EXPECT_EQ(OriAsJson(ori), json) << ori;
}

// Random bytes, valid or not, always give JSON that parses; valid UTF-8 comes back unchanged.
TEST(CaptionLinesJson, AnyBytesGiveParsableJsonAndValidTextSurvives) {
  std::mt19937 random(20260314);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random() % 256);
    std::string valid;
    for (int i = random() % 12; i > 0; --i) {
      uint32_t cp = random() % 0x110000;
      if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0)
        cp = 0x1F495;
      const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
      static constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
      valid += static_cast<char>(length == 1 ? cp : kLead[length] | (cp >> (6 * (length - 1))));
      for (int k = length - 2; k >= 0; --k)
        valid += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
    }
    const std::string json = CaptionLinesJson(std::vector{Line("i", bytes, true, valid)});
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
    ASSERT_EQ(parsed[0]["Tar"], valid);
  }
}

}  // namespace
}  // namespace quensary
