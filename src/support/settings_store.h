#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/preferences_store.h"

namespace quensary {

// The user's persisted choices, one typed getter and setter per setting. Nothing is cached:
// every read goes to the preferences store, so a value written anywhere is seen by the next read.
// Safe to use from any thread.
class SettingsStore {
 public:
  enum class Setting {
    kCaptionWindowShown,  // whether the provider's own caption window stays on screen
    kOverlayShowA,        // the overlay shows the original text
    kOverlayShowB,        // the overlay shows the translation
    kSourceLanguage,      // the captions' language, taken from the provider before each request
    kTargetLanguage,      // the language to translate into; empty stops translation
    kMainWindowOnTop,     // the main window floats above others
    kOverlayNumberA,      // the overlay panel's opacity in percent
    kOverlayNumberB,      // the overlay's text size in pixels
    kOverlayString,       // the overlay's text colour (CSS)
    kSelectedLineId,      // the Id of the active engine profile
    kUserAddLine,         // the user's own engine profile as JSON text
    kCaptionSource,       // where captions are read: "accessibility", "stream", else automatic
  };

  explicit SettingsStore(std::shared_ptr<PreferencesStore> store);

  bool CaptionWindowShown() const;
  void SetCaptionWindowShown(bool value);
  bool OverlayShowA() const;
  void SetOverlayShowA(bool value);
  bool OverlayShowB() const;
  void SetOverlayShowB(bool value);
  std::string SourceLanguage() const;
  void SetSourceLanguage(std::string_view value);
  std::string TargetLanguage() const;
  void SetTargetLanguage(std::string_view value);
  bool MainWindowOnTop() const;
  void SetMainWindowOnTop(bool value);
  int64_t OverlayNumberA() const;
  void SetOverlayNumberA(int64_t value);
  int64_t OverlayNumberB() const;
  void SetOverlayNumberB(int64_t value);
  std::string OverlayString() const;
  void SetOverlayString(std::string_view value);
  std::string SelectedLineId() const;
  void SetSelectedLineId(std::string_view value);
  std::string UserAddLine() const;
  void SetUserAddLine(std::string_view value);
  std::string CaptionSource() const;
  void SetCaptionSource(std::string_view value);

  // The caption provider's caption language from its own preferences, cut at the first "-";
  // empty when its file, the key or a text value is missing.
  std::string ProviderLanguage() const;

  // The storage key of a setting, as the pages name it.
  static std::string StorageKey(Setting setting);

  // Stores a value sent by a page as text under a storage key, converted to the setting's type.
  // Returns the setting that was written, or absent for an unknown key (nothing is written).
  std::optional<Setting> SetFromPage(std::string_view storage_key, std::string_view text);

  // Conversions of page texts: a Boolean is true exactly for "1"; an integer is an optional sign
  // and decimal digits only (no spaces, no fraction, no overflow), and anything else gives 22.
  static bool PageBool(std::string_view text);
  static int64_t PageInteger(std::string_view text);

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
