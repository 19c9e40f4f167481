#include "support/settings_store.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "platform/glib/key_file_preferences.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(SettingsStore, FirstRunReadsDefaults) {
  TempDir dir;
  SettingsStore settings(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_TRUE(settings.CaptionWindowShown());
  EXPECT_FALSE(settings.OverlayShowA());
  EXPECT_FALSE(settings.OverlayShowB());
  EXPECT_FALSE(settings.MainWindowOnTop());
  EXPECT_EQ(settings.OverlayNumberA(), 100);
  EXPECT_EQ(settings.OverlayNumberB(), 25);
  EXPECT_EQ(settings.UserAddLine(), "");
  EXPECT_EQ(settings.SourceLanguage(), RevealText(Sealed::DefaultSourceLanguage));
  EXPECT_EQ(settings.TargetLanguage(), RevealText(Sealed::DefaultTargetLanguage));
  EXPECT_FALSE(settings.SelectedLineId().empty());
  // Reading alone creates nothing on disk.
  EXPECT_FALSE(fs::exists(KeyFilePreferences::OwnFilePath(dir.path())));
}

TEST(SettingsStore, PageIntegerConversion) {
  EXPECT_EQ(SettingsStore::PageInteger("abc"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("+30"), 30);
  EXPECT_EQ(SettingsStore::PageInteger("-5"), -5);
  EXPECT_EQ(SettingsStore::PageInteger("3.5"), 22);
  EXPECT_EQ(SettingsStore::PageInteger(""), 22);
  EXPECT_EQ(SettingsStore::PageInteger("0"), 0);
  EXPECT_EQ(SettingsStore::PageInteger(" 7"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("7 "), 22);
  EXPECT_EQ(SettingsStore::PageInteger("+-5"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("-+5"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("+"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("-"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("0x10"), 22);
  EXPECT_EQ(SettingsStore::PageInteger("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(SettingsStore::PageInteger("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(SettingsStore::PageInteger("9223372036854775808"), 22);
}

TEST(SettingsStore, PageBooleanIsTrueOnlyForOne) {
  EXPECT_TRUE(SettingsStore::PageBool("1"));
  for (const char* text : {"true", "", "0", "yes", " 1", "1 ", "01"}) {
    EXPECT_FALSE(SettingsStore::PageBool(text)) << text;
  }
}

TEST(SettingsStore, SetFromPageConvertsByTheKeysType) {
  auto prefs = std::make_shared<testing::MemoryPreferences>();
  SettingsStore settings(prefs);
  using Setting = SettingsStore::Setting;

  EXPECT_EQ(settings.SetFromPage(SettingsStore::StorageKey(Setting::kOverlayNumberB), "abc"),
            Setting::kOverlayNumberB);
  EXPECT_EQ(settings.OverlayNumberB(), 22);
  settings.SetFromPage(SettingsStore::StorageKey(Setting::kOverlayNumberA), "+30");
  EXPECT_EQ(settings.OverlayNumberA(), 30);
  settings.SetFromPage(SettingsStore::StorageKey(Setting::kCaptionWindowShown), "true");
  EXPECT_FALSE(settings.CaptionWindowShown());
  settings.SetFromPage(SettingsStore::StorageKey(Setting::kOverlayShowA), "1");
  EXPECT_TRUE(settings.OverlayShowA());
  settings.SetFromPage(SettingsStore::StorageKey(Setting::kOverlayString), " 12 ");
  EXPECT_EQ(settings.OverlayString(), " 12 ");  // texts are stored as received

  EXPECT_FALSE(settings.SetFromPage("no-such-setting", "1"));
}

TEST(SettingsStore, ValuesPersistIntoANewStore) {
  TempDir dir;
  {
    SettingsStore settings(std::make_shared<KeyFilePreferences>(dir.path()));
    settings.SetOverlayNumberA(-7);
    settings.SetMainWindowOnTop(true);
    settings.SetUserAddLine("{\"Id\": \"mine\",\n \"Js\": \" x \\\\ y\"}");
    settings.SetTargetLanguage("");
  }
  SettingsStore reopened(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_EQ(reopened.OverlayNumberA(), -7);
  EXPECT_TRUE(reopened.MainWindowOnTop());
  EXPECT_EQ(reopened.UserAddLine(), "{\"Id\": \"mine\",\n \"Js\": \" x \\\\ y\"}");
  EXPECT_EQ(reopened.TargetLanguage(), "");  // an empty text is a value, not the default
}

TEST(SettingsStore, ConcurrentSettersLoseNoValue) {
  TempDir dir;
  auto prefs = std::make_shared<KeyFilePreferences>(dir.path());
  SettingsStore settings(prefs);
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 1; i <= 50; ++i)
      settings.SetOverlayNumberA(i);
  });
  threads.emplace_back([&] {
    for (int i = 1; i <= 50; ++i)
      settings.SetOverlayNumberB(1000 + i);
  });
  threads.emplace_back([&] {
    for (int i = 1; i <= 50; ++i)
      settings.SetOverlayString("text " + std::to_string(i));
  });
  threads.emplace_back([&] {
    for (int i = 1; i <= 50; ++i)
      settings.SetMainWindowOnTop(i % 2 == 0);
  });
  for (auto& thread : threads)
    thread.join();

  SettingsStore reopened(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_EQ(reopened.OverlayNumberA(), 50);
  EXPECT_EQ(reopened.OverlayNumberB(), 1050);
  EXPECT_EQ(reopened.OverlayString(), "text 50");
  EXPECT_TRUE(reopened.MainWindowOnTop());
}

TEST(SettingsStore, DamagedFileReadsAsDefaultsAndIsKeptAside) {
  TempDir dir;
  const fs::path file = KeyFilePreferences::OwnFilePath(dir.path());
  const std::string damaged = "[user-settings\noverlay-font-size=40\n\xff\xfe garbage";
  WriteFile(file, damaged);

  SettingsStore settings(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_EQ(settings.OverlayNumberB(), 25);
  EXPECT_EQ(ReadFile(file), damaged);  // reading changes nothing

  settings.SetOverlayNumberB(30);
  EXPECT_EQ(ReadFile(file.string() + ".damaged"), damaged);
  SettingsStore reopened(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_EQ(reopened.OverlayNumberB(), 30);
}

TEST(SettingsStore, WronglyTypedStoredValueReadsAsDefault) {
  TempDir dir;
  WriteFile(KeyFilePreferences::OwnFilePath(dir.path()),
            "[user-settings]\noverlay-font-size=large\ncaption-window-shown=maybe\n");
  SettingsStore settings(std::make_shared<KeyFilePreferences>(dir.path()));
  EXPECT_EQ(settings.OverlayNumberB(), 25);
  EXPECT_TRUE(settings.CaptionWindowShown());
}

TEST(SettingsStore, ProviderLanguageIsCutAtTheFirstHyphen) {
  TempDir dir;
  SettingsStore settings(std::make_shared<KeyFilePreferences>(dir.path()));
  const fs::path provider = fs::path(dir.path()) / RevealText(Sealed::ProviderDomain) /
                            RevealText(Sealed::SettingsFileName);
  EXPECT_EQ(settings.ProviderLanguage(), "");  // no file

  const auto write_language = [&](const std::string& line) {
    WriteFile(provider, "[user-settings]\n" + line + "\n");
  };
  write_language("caption-language=en-US");
  EXPECT_EQ(settings.ProviderLanguage(), "en");
  write_language("caption-language=zh-Hans-CN");
  EXPECT_EQ(settings.ProviderLanguage(), "zh");
  write_language("caption-language=de");
  EXPECT_EQ(settings.ProviderLanguage(), "de");
  write_language("caption-language=-x");
  EXPECT_EQ(settings.ProviderLanguage(), "");
  write_language("other-key=fr");
  EXPECT_EQ(settings.ProviderLanguage(), "");  // no key
  WriteFile(provider, "not a key file");
  EXPECT_EQ(settings.ProviderLanguage(), "");
}

}  // namespace
}  // namespace quensary
