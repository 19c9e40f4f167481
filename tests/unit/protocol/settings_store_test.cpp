#include "protocol/settings_store.h"

#include <gtest/gtest.h>

#include "fakes/memory_preferences.h"

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
      {"-+5", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
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

TEST(SettingsStore, SetFromPageStoresByTheKeysTypeAndIgnoresUnknownKeys) {
  SettingsStore settings(std::make_shared<testing::MemoryPreferences>());
  const auto set = [&](Setting setting, const char* text) {
    return settings.SetFromPage(StorageKey(setting), text);
  };
  EXPECT_EQ(set(Setting::kOverlayOpacity, "+30"), Setting::kOverlayOpacity);
  EXPECT_EQ(settings.OverlayOpacity(), 30);
  set(Setting::kCaptionWindowShown, "true");
  EXPECT_FALSE(settings.CaptionWindowShown());
  set(Setting::kShowOriginal, "1");
  EXPECT_TRUE(settings.ShowOriginal());
  set(Setting::kOverlayTextColour, " 12 ");
  EXPECT_EQ(settings.OverlayTextColour(), " 12 ");  // texts are stored as received
  set(Setting::kTargetLanguage, "");
  EXPECT_EQ(settings.TargetLanguage(), "");  // an empty text is a value, not the default
  EXPECT_FALSE(settings.SetFromPage("no-such-setting", "1"));
}

}  // namespace
}  // namespace quensary
