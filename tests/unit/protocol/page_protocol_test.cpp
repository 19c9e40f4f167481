#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/memory_preferences.h"
#include "protocol/page_calls.h"
#include "protocol/page_words.h"

namespace quensary {
namespace {

// The JSON object the protocol script hands to the pages.
nlohmann::json ScriptProtocol() {
  const std::string script = PageProtocolScript();
  const size_t begin = script.find("JSON.parse(") + 11;
  const size_t end = script.find(");\n", begin);
  return nlohmann::json::parse(
      nlohmann::json::parse(script.substr(begin, end - begin)).get<std::string>());
}

TEST(PageProtocol, EachPageGetsItsStartValuesAndCallsInItsOwnForm) {
  SettingsStore settings(std::make_shared<testing::MemoryPreferences>());
  const struct {
    Page page;
    std::string init;
    size_t members;
    std::string own_member;
    std::string prefix;
  } cases[] = {
      {Page::kMain, MainPageInitJson(settings, "1.2.3"), 13, WordOf(InitMember::kAppVersion),
       "    "},
      {Page::kOverlay, OverlayPageInitJson(settings, "Named \"engine\" \xFF"), 8,
       WordOf(InitMember::kCurrentEngineName), ""},
  };
  for (const auto& c : cases) {
    const auto init = nlohmann::json::parse(c.init);
    EXPECT_EQ(init.size(), c.members);
    EXPECT_TRUE(init.contains(c.own_member)) << c.init;
    EXPECT_EQ(init[StorageKey(Setting::kOverlayFontSize)], 25);
    EXPECT_EQ(c.init.find_first_of("\x80\xFF"), std::string::npos) << "ASCII only";
    EXPECT_EQ(InitCall(c.page, "{}"), c.prefix + "Init({})");
    EXPECT_EQ(JuziCall(c.page, "[]"), c.prefix + "Juzi([])");
  }
}

// The pages take their words and defaults from the script: it must say what the program does.
TEST(PageProtocol, TheScriptCarriesTheProgramsOwnWordsDefaultsAndRanges) {
  const auto protocol = ScriptProtocol();
  SettingsStore empty(std::make_shared<testing::MemoryPreferences>());
  const auto& font = protocol["settings"]["overlayFontSize"];
  EXPECT_EQ(font["key"], StorageKey(Setting::kOverlayFontSize));
  EXPECT_EQ(font["default"], empty.OverlayFontSize());
  EXPECT_EQ(protocol["settings"]["showOriginal"]["default"], empty.ShowOriginal());
  EXPECT_EQ(protocol["settings"]["overlayTextColour"]["default"], empty.OverlayTextColour());
  EXPECT_EQ(protocol["handlers"]["setSetting"], WordOf(PageHandler::kSetSetting));
  EXPECT_EQ(protocol["windowCommands"]["zoomToggle"], WordOf(WindowCommand::kZoomToggle));
  EXPECT_EQ(protocol["copyModes"]["both"], 3);
  EXPECT_EQ(protocol["overlayShownLines"], kShownLines);
  // A number out of range is brought to the range the pages offer, in and out of the store.
  for (const auto& [sent, stored] : std::vector<std::pair<std::string, int64_t>>{
           {"500", font["max"]}, {"-3", font["min"]}, {"30", 30}}) {
    empty.SetFromPage(font["key"].get<std::string>(), sent);
    EXPECT_EQ(empty.OverlayFontSize(), stored) << sent;
  }
}

TEST(PageProtocol, WordsAndNumbersFromAPageMapToTheirValuesAndNothingElseDoes) {
  for (const auto command :
       {WindowCommand::kDragOn, WindowCommand::kDragOff, WindowCommand::kZoomToggle})
    EXPECT_EQ(FromWord<WindowCommand>(WordOf(command)), command);
  EXPECT_EQ(FromWord<LineCommand>(WordOf(LineCommand::kRetranslate)), LineCommand::kRetranslate);
  EXPECT_EQ(FromWord<LineCommand>(WordOf(WindowCommand::kDragOn)), std::nullopt);
  EXPECT_EQ(FromWord<PageHandler>(""), std::nullopt);
  const std::pair<const char*, std::optional<CopyMode>> copies[] = {
      {"1", CopyMode::kOriginal}, {"+3", CopyMode::kBoth}, {"0", std::nullopt},
      {"4", std::nullopt},        {"2.0", std::nullopt},   {"", std::nullopt}};
  for (const auto& [text, mode] : copies)
    EXPECT_EQ(CopyModeFromPage(text), mode) << text;
  EXPECT_EQ(WindowButtonFromPage("3"), WindowButton::kQuit);
  EXPECT_EQ(WindowButtonFromPage("+3"), std::nullopt) << "buttons are exact words";
  EXPECT_EQ(CaptionSourceModeFromWord("stream"), CaptionSourceMode::kStream);
  EXPECT_EQ(CaptionSourceModeFromWord("Stream"), CaptionSourceMode::kAutomatic);
}

}  // namespace
}  // namespace quensary
