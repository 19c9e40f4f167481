#include "support/settings_store.h"

#include <gtest/gtest.h>

#include "fakes/memory_preferences.h"

namespace quensary {
namespace {

using Setting = SettingsStore::Setting;

TEST(SettingsStore, PageTextsConvertAsThePagesExpect) {
  const std::pair<const char*, int64_t> integers[] = {
      {"abc", 22},
      {"+30", 30},
      {"-5", -5},
      {"3.5", 22},
      {"", 22},
      {"0", 0},
      {" 7", 22},
      {"7 ", 22},
      {"+-5", 22},
      {"-+5", 22},
      {"+", 22},
      {"-", 22},
      {"0x10", 22},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", 22},
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
    return settings.SetFromPage(SettingsStore::StorageKey(setting), text);
  };
  EXPECT_EQ(set(Setting::kOverlayNumberB, "abc"), Setting::kOverlayNumberB);
  EXPECT_EQ(settings.OverlayNumberB(), 22);
  set(Setting::kOverlayNumberA, "+30");
  EXPECT_EQ(settings.OverlayNumberA(), 30);
  set(Setting::kCaptionWindowShown, "true");
  EXPECT_FALSE(settings.CaptionWindowShown());
  set(Setting::kOverlayShowA, "1");
  EXPECT_TRUE(settings.OverlayShowA());
  set(Setting::kOverlayString, " 12 ");
  EXPECT_EQ(settings.OverlayString(), " 12 ");  // texts are stored as received
  set(Setting::kTargetLanguage, "");
  EXPECT_EQ(settings.TargetLanguage(), "");  // an empty text is a value, not the default
  EXPECT_FALSE(settings.SetFromPage("no-such-setting", "1"));
}

}  // namespace
}  // namespace quensary
