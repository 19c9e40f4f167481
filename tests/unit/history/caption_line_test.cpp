#include "history/caption_line.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

namespace quensary {
namespace {

CaptionLinePtr Line(std::string id, std::string ori, bool finish, std::string tar) {
  return std::make_shared<CaptionLine>(std::move(id), std::move(ori), finish, std::move(tar));
}

TEST(CaptionLinesJson, CompactInRecordOrderAndEscapedForAOneLineScriptCall) {
  EXPECT_EQ(CaptionLinesJson({}), "[]");
  EXPECT_EQ(
      CaptionLinesJson(std::vector{Line("1", "Hello", true, "Hola"), Line("2", "and", false, "")}),
      R"([{"Id":"1","Ori":"Hello","Finish":true,"Tar":"Hola"},{"Id":"2","Ori":"and","Finish":false,"Tar":""}])");
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {R"(she said "stop" C:\n)", R"("she said \"stop\" C:\\n")"},
      {"one\ntwo\r\nthree\ttab\b\f", R"("one\ntwo\r\nthree\ttab\b\f")"},
      {"bell\x07 \x01\x1f\x7f", "\"bell\\u0007 \\u0001\\u001f\x7f\""},
      {"\xE2\x80\xA8 \xE2\x80\xA9", R"("\u2028 \u2029")"},  // ended script lines in old engines
      {"</script> ${x} `t` \xF0\x9F\x92\x95 \xC3\xA9",
       "\"</script> ${x} `t` \xF0\x9F\x92\x95 \xC3\xA9\""},
      // Each ill-formed piece becomes one U+FFFD, so a damaged text never stops the publication:
      // a truncated sequence, an encoded surrogate, an overlong form, beyond U+10FFFF, bytes
      // that never occur.
      {"caf\xC3 \xF0\x9F\x92x", "\"caf" + r + " " + r + "x\""},
      {"\xED\xA0\x80\xE0\x80\x80", "\"" + r + r + r + r + r + r + "\""},
      {"\xF4\x90\x80\x80\xFF\xFE", "\"" + r + r + r + r + r + r + "\""},
  };
  for (const auto& [ori, json] : cases) {
    const std::string all = CaptionLinesJson(std::vector{Line("i", ori, false, "")});
    EXPECT_EQ(all, R"([{"Id":"i","Ori":)" + json + R"(,"Finish":false,"Tar":""}])") << ori;
  }
}

// Random bytes, valid or not, always give JSON that parses; valid UTF-8 comes back unchanged.
TEST(CaptionLinesJson, AnyBytesGiveParsableJsonAndValidTextSurvives) {
  std::mt19937 random(20260314);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random() % 256);
    std::u32string points(random() % 12, U'x');
    for (char32_t& cp : points)
      cp = 1 + random() % 0x10FFFF;
    std::erase_if(points, [](char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; });
    std::string valid;
    for (char32_t cp : points) {
      const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
      valid += static_cast<char>(
          length == 1 ? cp : (0xF00 >> length & 0xF0) | (cp >> (6 * (length - 1))));
      for (int k = length - 2; k >= 0; --k)
        valid += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
    }
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(
                        CaptionLinesJson(std::vector{Line("i", bytes, true, valid)})));
    ASSERT_EQ(parsed[0]["Tar"], valid);
  }
}

}  // namespace
}  // namespace quensary
