#include "protocol/settings_store.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

TEST(SettingsStore, PageTextsConvertAsThePagesExpect) {
  const std::pair<const char*, std::optional<int64_t>> integers[] = {
      {"abc", std::nullopt},
      {"+30", 30},
      {"-5", -5},
      {"3.5", std::nullopt},
      {"", std::nullopt},
      {"0", 0},
      {" 7", std::nullopt},
      {"7 ", std::nullopt},
      {"+-5", std::nullopt},
      {"+", std::nullopt},
      {"0x10", std::nullopt},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},
  };
  for (const auto& [text, value] : integers)
    EXPECT_EQ(SettingsStore::PageInteger(text), value) << text;
  EXPECT_TRUE(SettingsStore::PageBool("1"));
  for (const char* text : {"true", "", "0", "yes", " 1", "1 ", "01"})
    EXPECT_FALSE(SettingsStore::PageBool(text)) << text;
}

}  // namespace
}  // namespace quensary
