#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/preferences_store.h"
#include "protocol/setting_table.h"

namespace quensary {

// The user's persisted choices, one typed getter and setter per setting of the setting table.
// Nothing is cached: every read goes to the preferences store, so a value written anywhere is
// seen by the next read. Numbers are kept within their ranges on the way in and out, whatever
// the file holds. Safe to use from any thread.
class SettingsStore {
 public:
  explicit SettingsStore(std::shared_ptr<PreferencesStore> store);

  bool CaptionWindowShown() const;
  void SetCaptionWindowShown(bool value);
  bool ShowOriginal() const;
  void SetShowOriginal(bool value);
  bool ShowTranslation() const;
  void SetShowTranslation(bool value);
  std::string SourceLanguage() const;
  void SetSourceLanguage(std::string_view value);
  std::string TargetLanguage() const;
  void SetTargetLanguage(std::string_view value);
  bool MainWindowOnTop() const;
  void SetMainWindowOnTop(bool value);
  int64_t OverlayOpacity() const;
  void SetOverlayOpacity(int64_t value);
  int64_t OverlayFontSize() const;
  void SetOverlayFontSize(int64_t value);
  std::string OverlayTextColour() const;
  void SetOverlayTextColour(std::string_view value);
  int64_t OverlayLinesShown() const;
  void SetOverlayLinesShown(int64_t value);
  std::string OverlayPlaces() const;
  void SetOverlayPlaces(std::string_view value);
  std::string SelectedEngineId() const;
  void SetSelectedEngineId(std::string_view value);
  std::string UserEngineJson() const;
  void SetUserEngineJson(std::string_view value);
  std::string CaptionSource() const;
  void SetCaptionSource(std::string_view value);
  std::string EngineOptions() const;
  void SetEngineOptions(std::string_view value);
  int64_t EngineContextSentences() const;
  void SetEngineContextSentences(int64_t value);
  bool TranscriptSideBySide() const;
  void SetTranscriptSideBySide(bool value);

  // The caption provider's caption language from its own preferences, cut at the first "-";
  // empty when its file, the key or a text value is missing.
  std::string ProviderLanguage() const;

  // Stores a value sent by a page as text under a storage key, converted to the setting's type.
  // Returns the setting that was written, or absent for an unknown key (nothing is written).
  std::optional<Setting> SetFromPage(std::string_view storage_key, std::string_view text);

  // Conversions of page texts: a Boolean is true exactly for "1"; an integer is an optional sign
  // and decimal digits only (no spaces, no fraction, no overflow), anything else is none (and a
  // setting sent so is stored as 22, as the pages have always had it).
  static bool PageBool(std::string_view text);
  static std::optional<int64_t> PageInteger(std::string_view text);

 private:
  bool ReadBool(Setting setting) const;
  int64_t ReadInt(Setting setting) const;
  std::string ReadText(Setting setting) const;
  void WriteBool(Setting setting, bool value);
  void WriteInt(Setting setting, int64_t value);
  void WriteText(Setting setting, std::string_view value);

  std::shared_ptr<PreferencesStore> store_;
};

}  // namespace quensary
