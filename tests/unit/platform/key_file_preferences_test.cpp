#include "platform/glib/key_file_preferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "fakes/core_fixture.h"
#include "protocol/settings_store.h"
#include "support/adapter_names.h"

namespace quensary {
namespace {

namespace fs = std::filesystem;

int Mode(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

class KeyFilePreferencesTest : public ::testing::Test {
 protected:
  std::shared_ptr<KeyFilePreferences> Open() {
    return std::make_shared<KeyFilePreferences>(dir.path(), SettingsFileNames());
  }
  testing::CapturedDiagnostics diagnostics;
  testing::TempDir dir;
  const fs::path file = KeyFilePreferences::OwnFilePath(dir.path(), SettingsFileNames());
};

TEST_F(KeyFilePreferencesTest,
       ValuesPersistInANewFileOnlyItsOwnerReadsAndUnchangedOnesAreNotSaved) {
  {
    SettingsStore settings(Open());
    settings.SetOverlayOpacity(7);
    settings.SetUserEngineJson("{\"Id\": \"mine\",\n \"Js\": \" x \\\\ y\"}");
    settings.SetOverlayTextColour("bad \xFF byte");
    settings.SetShowOriginal(true);  // false by default
  }
  EXPECT_EQ(Mode(file), 0600);
  auto prefs = Open();
  SettingsStore reopened(prefs);
  EXPECT_EQ(reopened.OverlayOpacity(), 7);
  EXPECT_EQ(reopened.UserEngineJson(), "{\"Id\": \"mine\",\n \"Js\": \" x \\\\ y\"}");
  EXPECT_EQ(reopened.OverlayTextColour(), "bad \xEF\xBF\xBD byte");
  EXPECT_TRUE(reopened.ShowOriginal());
  fs::remove(file);
  reopened.SetOverlayOpacity(7);  // the same value: nothing to save
  prefs->Flush(std::chrono::seconds(10));
  EXPECT_FALSE(fs::exists(file));
  reopened.SetOverlayOpacity(8);
  prefs->Flush(std::chrono::seconds(10));
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(KeyFilePreferencesTest, ASaveKeepsWhatOthersWroteMeanwhileTheFilesModeAndItsSymbolicLink) {
  const fs::path real = fs::path(dir.path()) / "elsewhere" / "real.ini";
  testing::WriteFile(real, "");
  fs::create_directories(file.parent_path());
  fs::create_symlink(real, file);
  auto prefs = Open();
  prefs->WriteInt("mine", 1);
  prefs->Flush(std::chrono::seconds(10));
  // Another instance, or the user by hand, adds a key and loosens the mode.
  testing::WriteFile(real, testing::ReadFile(real) + "theirs=2\n");
  chmod(real.c_str(), 0640);
  prefs->WriteInt("mine", 3);
  prefs->Flush(std::chrono::seconds(10));
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(Mode(real), 0640);
  auto reopened = Open();
  EXPECT_EQ(reopened->ReadInt("mine"), 3);
  EXPECT_EQ(reopened->ReadInt("theirs"), 2);
  EXPECT_EQ(prefs->ReadInt("theirs"), 2) << "the saving instance sees it too";
}

TEST_F(KeyFilePreferencesTest, ADamagedFileReadsAsDefaultsAndIsKeptAsideAtTheFirstSave) {
  const std::string damaged = "[user-settings\noverlay-font-size=40\n\xff\xfe garbage";
  testing::WriteFile(file, damaged);
  auto prefs = Open();
  SettingsStore settings(prefs);
  EXPECT_EQ(settings.OverlayFontSize(), 25);
  ASSERT_EQ(diagnostics.lines().size(), 1u);
  EXPECT_NE(diagnostics.lines()[0].find("damaged"), std::string::npos);
  settings.SetOverlayFontSize(30);
  prefs->Flush(std::chrono::seconds(10));
  EXPECT_EQ(testing::ReadFile(file.string() + ".damaged"), damaged);
  EXPECT_EQ(SettingsStore(Open()).OverlayFontSize(), 30);
  testing::WriteFile(file,
                     "[user-settings]\noverlay-font-size=large\ncaption-window-shown=maybe\n");
  EXPECT_EQ(SettingsStore(Open()).OverlayFontSize(), 25) << "a wrongly typed value reads as absent";
}

TEST_F(KeyFilePreferencesTest, ASpecialFileInPlaceOfTheFileNeverBlocksAndIsKeptAside) {
  // A FIFO blocks an open or a read until someone writes to it: at start, and at a save.
  for (const bool at_start : {true, false}) {
    SCOPED_TRACE(at_start ? "at start" : "while running");
    fs::remove_all(file.parent_path());
    fs::create_directories(file.parent_path());
    if (at_start) {
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    }
    auto prefs = Open();
    prefs->WriteInt("first", 1);
    ASSERT_TRUE(prefs->Flush(std::chrono::seconds(10)));
    if (!at_start) {
      fs::remove(file);
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    }
    prefs->WriteInt("second", 2);
    ASSERT_TRUE(prefs->Flush(std::chrono::seconds(10)));
    EXPECT_TRUE(fs::is_fifo(file.string() + ".damaged"));
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(Open()->ReadInt("second"), 2);
  }
}

TEST_F(KeyFilePreferencesTest, ConcurrentWritersLoseNoValue) {
  auto prefs = Open();
  std::vector<std::thread> threads;
  for (const char* key : {"a", "b", "c", "d"}) {
    threads.emplace_back([&prefs, key] {
      for (int i = 1; i <= 50; ++i)
        prefs->WriteInt(key, i);
    });
  }
  for (auto& thread : threads)
    thread.join();
  prefs.reset();
  for (const char* key : {"a", "b", "c", "d"})
    EXPECT_EQ(Open()->ReadInt(key), 50) << key;
}

TEST_F(KeyFilePreferencesTest, TheProvidersLanguageIsReadFromItsOwnDomainUpToTheFirstHyphen) {
  SettingsStore settings(Open());
  const fs::path provider = fs::path(dir.path()) / RevealText(Sealed::ProviderDomain) /
                            RevealText(Sealed::SettingsFileName);
  EXPECT_EQ(settings.ProviderLanguage(), "");  // no file
  for (const auto& [content, language] :
       std::vector<std::pair<std::string, std::string>>{{"caption-language=en-US", "en"},
                                                        {"caption-language=-x", ""},
                                                        {"other-key=fr", ""},
                                                        {"not a key file", ""}}) {
    testing::WriteFile(provider, "[user-settings]\n" + content + "\n");
    EXPECT_EQ(settings.ProviderLanguage(), language) << content;
  }
  EXPECT_EQ(Open()->ReadForeignText("../quensary", "x"), std::nullopt) << "no path traversal";
}

}  // namespace
}  // namespace quensary
