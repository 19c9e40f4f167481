#include "protocol/setting_table.h"

#include <algorithm>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using Kind = SettingKind;

// The font range is what a subtitle can sensibly use; the opacity is a percentage.
constexpr SettingRow kSettings[] = {
    {Setting::kCaptionWindowShown, Sealed::KeyCaptionWindowShown, Kind::kBool, true, 0, 0, 0,
     nullptr, "captionWindowShown"},
    {Setting::kShowOriginal, Sealed::KeyShowOriginal, Kind::kBool, false, 0, 0, 0, nullptr,
     "showOriginal"},
    {Setting::kShowTranslation, Sealed::KeyShowTranslation, Kind::kBool, false, 0, 0, 0, nullptr,
     "showTranslation"},
    {Setting::kSourceLanguage, Sealed::KeySourceLanguage, Kind::kText, false, 0, 0, 0,
     Sealed::DefaultSourceLanguage, "sourceLanguage"},
    {Setting::kTargetLanguage, Sealed::KeyTargetLanguage, Kind::kText, false, 0, 0, 0,
     Sealed::DefaultTargetLanguage, "targetLanguage"},
    {Setting::kMainWindowOnTop, Sealed::KeyMainWindowOnTop, Kind::kBool, false, 0, 0, 0, nullptr,
     "mainWindowOnTop"},
    {Setting::kOverlayOpacity, Sealed::KeyOverlayOpacity, Kind::kInt, false, 100, 0, 100, nullptr,
     "overlayOpacity"},
    {Setting::kOverlayFontSize, Sealed::KeyOverlayFontSize, Kind::kInt, false, 25, 14, 72, nullptr,
     "overlayFontSize"},
    {Setting::kOverlayTextColour, Sealed::KeyOverlayTextColour, Kind::kText, false, 0, 0, 0,
     Sealed::DefaultOverlayTextColour, "overlayTextColour"},
    {Setting::kOverlayLinesShown, Sealed::KeyOverlayLinesShown, Kind::kInt, false, 2, 1, 6, nullptr,
     "overlayLinesShown"},
    {Setting::kOverlayPlaces, Sealed::KeyOverlayPlaces, Kind::kText, false, 0, 0, 0, nullptr,
     "overlayPlaces"},
    {Setting::kSelectedEngineId, Sealed::KeySelectedEngineId, Kind::kText, false, 0, 0, 0,
     Sealed::DefaultSelectedEngineId, "selectedEngineId"},
    {Setting::kUserEngineJson, Sealed::KeyUserEngineJson, Kind::kText, false, 0, 0, 0, nullptr,
     "userEngineJson"},
    {Setting::kCaptionSource, Sealed::KeyCaptionSource, Kind::kText, false, 0, 0, 0, nullptr,
     "captionSource"},
    {Setting::kEngineOptions, Sealed::KeyEngineOptions, Kind::kText, false, 0, 0, 0, nullptr,
     "engineOptions"},
    // More context makes every request longer, and a small model slower.
    {Setting::kContextSentences, Sealed::KeyEngineContextSentences, Kind::kInt, false, 3, 0, 8,
     nullptr, "engineContextSentences"},
    // One above the other reads best in the window's designed width.
    {Setting::kTranscriptSideBySide, Sealed::KeyTranscriptSideBySide, Kind::kBool, false, 0, 0, 0,
     nullptr, "transcriptSideBySide"},
};

}  // namespace

std::span<const SettingRow> AllSettings() {
  return kSettings;
}

const SettingRow& RowOf(Setting setting) {
  for (const SettingRow& row : kSettings) {
    if (row.setting == setting)
      return row;
  }
  return kSettings[0];  // unreachable: every setting has its row
}

std::string StorageKey(Setting setting) {
  return RevealText(RowOf(setting).sealed_key);
}

std::optional<Setting> SettingFromStorageKey(std::string_view key) {
  for (const SettingRow& row : kSettings) {
    if (RevealText(row.sealed_key) == key)
      return row.setting;
  }
  return std::nullopt;
}

int64_t ClampToRange(Setting setting, int64_t value) {
  const SettingRow& row = RowOf(setting);
  if (row.kind != SettingKind::kInt)
    return value;
  return std::clamp(value, row.int_min, row.int_max);
}

}  // namespace quensary
