#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quensary {

// Every persisted setting. The storage key of each (what the settings file and the pages call
// it) is in its row of the table below; inside the program they go by these names.
enum class Setting {
  kCaptionWindowShown,  // whether the provider's own caption window stays on screen
  kShowOriginal,        // the overlay shows the original text
  kShowTranslation,     // the overlay shows the translation
  kSourceLanguage,      // the captions' language, taken from the provider before each request
  kTargetLanguage,      // the language to translate into; empty stops translation
  kMainWindowOnTop,     // the main window floats above others
  kOverlayOpacity,      // the overlay panel's opacity in percent
  kOverlayFontSize,     // the overlay's text size in pixels
  kOverlayTextColour,   // the overlay's text colour (CSS)
  kOverlayLinesShown,   // how many lines of each text the overlay shows at most (the newest)
  kOverlayPlaces,       // where the user put the overlay, and how wide, per screen (JSON)
  kSelectedEngineId,    // the Id of the active engine profile
  kUserEngineJson,      // the user's own engine profile as JSON text
  kCaptionSource,       // where captions are read from (a CaptionSourceMode word)
  kEngineOptions,       // what the user gave each engine (address, model) as a JSON object
  kContextSentences,    // finished sentences, with translations, sent along to a model engine
  // The transcript shows each line's original and translation side by side.
  kTranscriptSideBySide,
};

enum class SettingKind { kBool, kInt, kText };

// One setting: its storage key (sealed), its type, its default and, for numbers, its range.
// A text default is a sealed literal, or null for the empty text.
struct SettingRow {
  Setting setting;
  const char* sealed_key;
  SettingKind kind;
  bool bool_default = false;
  int64_t int_default = 0;
  int64_t int_min = 0;
  int64_t int_max = 0;
  const char* sealed_text_default = nullptr;
  // The page-facing name of the setting in the generated page protocol (camel case).
  const char* page_name = "";
};

// The one table of settings: the settings store, the page bridges and the pages' protocol
// script all read it, so a key, a default or a range is written once.
std::span<const SettingRow> AllSettings();
const SettingRow& RowOf(Setting setting);

std::string StorageKey(Setting setting);
std::optional<Setting> SettingFromStorageKey(std::string_view key);

// A number brought into the setting's range.
int64_t ClampToRange(Setting setting, int64_t value);

}  // namespace quensary
