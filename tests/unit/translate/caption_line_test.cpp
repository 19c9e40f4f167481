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

TEST(CaptionLinesJson, EmptyListIsAnEmptyArray) {
  EXPECT_EQ(CaptionLinesJson({}), "[]");
}

TEST(CaptionLinesJson, CompactWithMembersInRecordOrder) {
  const std::vector lines{Line("2026-03-14 09:00:00.000001", "Hello there", true, "Hola"),
                          Line("2026-03-14 09:00:02.500000", "and", false, "")};
  EXPECT_EQ(CaptionLinesJson(lines),
            R"([{"Id":"2026-03-14 09:00:00.000001","Ori":"Hello there","Finish":true,)"
            R"("Tar":"Hola"},{"Id":"2026-03-14 09:00:02.500000","Ori":"and","Finish":false,)"
            R"("Tar":""}])");
}

TEST(CaptionLinesJson, AwkwardTextsAreEscapedAndParseBackUnchanged) {
  const std::string quotes = R"(she said "stop" and 'go')";
  const std::string backslashes = R"(C:\path\to\ and \n literally)";
  const std::string feeds = "one\ntwo\r\nthree\ttab";
  const std::string controls = std::string("bell\x07 nul-free \x01\x1f end");
  const std::string heart = "love \xF0\x9F\x92\x95 you";  // U+1F495, the row separator
  const std::string script_breakers = "</script> ${x} `tick` \xE2\x80\xA8 line separator";
  const std::vector lines{Line("a", quotes, false, backslashes), Line("b", feeds, true, controls),
                          Line("c", heart, true, script_breakers)};

  const std::string json = CaptionLinesJson(lines);
  // No raw line breaks or control characters: the text is inserted into a one-line script call.
  for (unsigned char c : json)
    EXPECT_GE(c, 0x20) << "raw control character in " << json;
  EXPECT_NE(json.find(R"(\"stop\")"), std::string::npos);
  EXPECT_NE(json.find(R"(C:\\path)"), std::string::npos);
  EXPECT_NE(json.find(R"(one\ntwo\r\nthree\ttab)"), std::string::npos);
  EXPECT_NE(json.find(R"(\u0001\u001f)"), std::string::npos);
  EXPECT_NE(json.find("\xF0\x9F\x92\x95"), std::string::npos);  // kept as UTF-8

  const auto parsed = nlohmann::json::parse(json);
  ASSERT_EQ(parsed.size(), 3u);
  EXPECT_EQ(parsed[0]["Ori"], quotes);
  EXPECT_EQ(parsed[0]["Tar"], backslashes);
  EXPECT_EQ(parsed[1]["Ori"], feeds);
  EXPECT_EQ(parsed[1]["Tar"], controls);
  EXPECT_EQ(parsed[2]["Ori"], heart);
  EXPECT_EQ(parsed[2]["Tar"], script_breakers);
}

TEST(CaptionLinesJson, InvalidUtf8BecomesReplacementCharacterInsteadOfFailing) {
  // A truncated sequence, a lone continuation byte and an overlong encoding, next to good text.
  const std::vector lines{Line("x", "caf\xC3", false, "ok \x80 then \xC0\xAF end"),
                          Line("y", "still here", true, "")};
  std::string json;
  ASSERT_NO_THROW(json = CaptionLinesJson(lines));
  const auto parsed = nlohmann::json::parse(json);
  ASSERT_EQ(parsed.size(), 2u);
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(parsed[0]["Ori"], "caf" + replacement);
  EXPECT_EQ(parsed[0]["Tar"], "ok " + replacement + " then " + replacement + replacement + " end");
  EXPECT_EQ(parsed[1]["Ori"], "still here");
}

TEST(CaptionLinesJson, EachMalformedPieceBecomesOneReplacementCharacter) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"\xED\xA0\x80", r + r + r},          // an encoded surrogate
      {"\xE0\x80\x80", r + r + r},          // an overlong form
      {"\xF4\x90\x80\x80", r + r + r + r},  // beyond U+10FFFF
      {"\xF0\x9F\x92", r},                  // a truncated sequence at the end
      {"\xF0\x9F\x92x", r + "x"},           // ... and in the middle
      {"\xE2\x82", r},                      // a truncated three-byte sequence
      {"\xFF\xFE", r + r},                  // bytes that never occur
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\x95", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\x95"},  // kept
  };
  for (const auto& [input, expected] : cases) {
    const auto parsed =
        nlohmann::json::parse(CaptionLinesJson(std::vector{Line("i", input, false, "")}));
    EXPECT_EQ(parsed[0]["Ori"], expected) << nlohmann::json(expected).dump();
  }
}

TEST(CaptionLinesJson, ShortEscapesAndLineSeparatorsForScriptSafety) {
  const auto json =
      CaptionLinesJson(std::vector{Line("i", "\b\f\r\x7f \xE2\x80\xA8 \xE2\x80\xA9", false, "")});
  EXPECT_EQ(json, R"([{"Id":"i","Ori":"\b\f\r)"
                  "\x7f"
                  R"( \u2028 \u2029","Finish":false,"Tar":""}])");
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
      if (cp >= 0xD800 && cp <= 0xDFFF)
        cp = 0x1F495;
      if (cp == 0)
        cp = 'z';
      if (cp < 0x80) {
        valid += static_cast<char>(cp);
      } else if (cp < 0x800) {
        valid += static_cast<char>(0xC0 | (cp >> 6));
        valid += static_cast<char>(0x80 | (cp & 0x3F));
      } else if (cp < 0x10000) {
        valid += static_cast<char>(0xE0 | (cp >> 12));
        valid += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        valid += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        valid += static_cast<char>(0xF0 | (cp >> 18));
        valid += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        valid += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        valid += static_cast<char>(0x80 | (cp & 0x3F));
      }
    }
    const std::string json = CaptionLinesJson(std::vector{Line("i", bytes, true, valid)});
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
    ASSERT_EQ(parsed[0]["Tar"], valid);
  }
}

}  // namespace
}  // namespace quensary
