#include "protocol/settings_store.h"

#include <charconv>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

constexpr int64_t kUnparsablePageInteger = 22;

}  // namespace

SettingsStore::SettingsStore(std::shared_ptr<PreferencesStore> store) : store_(std::move(store)) {}

bool SettingsStore::ReadBool(Setting setting) const {
  return store_->ReadBool(StorageKey(setting)).value_or(RowOf(setting).bool_default);
}
int64_t SettingsStore::ReadInt(Setting setting) const {
  return ClampToRange(setting,
                      store_->ReadInt(StorageKey(setting)).value_or(RowOf(setting).int_default));
}
std::string SettingsStore::ReadText(Setting setting) const {
  if (auto value = store_->ReadText(StorageKey(setting)))
    return std::move(*value);
  const char* fallback = RowOf(setting).sealed_text_default;
  return fallback ? RevealText(fallback) : std::string();
}
void SettingsStore::WriteBool(Setting setting, bool value) {
  store_->WriteBool(StorageKey(setting), value);
}
void SettingsStore::WriteInt(Setting setting, int64_t value) {
  store_->WriteInt(StorageKey(setting), ClampToRange(setting, value));
}
void SettingsStore::WriteText(Setting setting, std::string_view value) {
  store_->WriteText(StorageKey(setting), value);
}

bool SettingsStore::CaptionWindowShown() const {
  return ReadBool(Setting::kCaptionWindowShown);
}
void SettingsStore::SetCaptionWindowShown(bool value) {
  WriteBool(Setting::kCaptionWindowShown, value);
}
bool SettingsStore::ShowOriginal() const {
  return ReadBool(Setting::kShowOriginal);
}
void SettingsStore::SetShowOriginal(bool value) {
  WriteBool(Setting::kShowOriginal, value);
}
bool SettingsStore::ShowTranslation() const {
  return ReadBool(Setting::kShowTranslation);
}
void SettingsStore::SetShowTranslation(bool value) {
  WriteBool(Setting::kShowTranslation, value);
}
std::string SettingsStore::SourceLanguage() const {
  return ReadText(Setting::kSourceLanguage);
}
void SettingsStore::SetSourceLanguage(std::string_view value) {
  WriteText(Setting::kSourceLanguage, value);
}
std::string SettingsStore::TargetLanguage() const {
  return ReadText(Setting::kTargetLanguage);
}
void SettingsStore::SetTargetLanguage(std::string_view value) {
  WriteText(Setting::kTargetLanguage, value);
}
bool SettingsStore::MainWindowOnTop() const {
  return ReadBool(Setting::kMainWindowOnTop);
}
void SettingsStore::SetMainWindowOnTop(bool value) {
  WriteBool(Setting::kMainWindowOnTop, value);
}
int64_t SettingsStore::OverlayOpacity() const {
  return ReadInt(Setting::kOverlayOpacity);
}
void SettingsStore::SetOverlayOpacity(int64_t value) {
  WriteInt(Setting::kOverlayOpacity, value);
}
int64_t SettingsStore::OverlayFontSize() const {
  return ReadInt(Setting::kOverlayFontSize);
}
void SettingsStore::SetOverlayFontSize(int64_t value) {
  WriteInt(Setting::kOverlayFontSize, value);
}
int64_t SettingsStore::OverlayLinesShown() const {
  return ReadInt(Setting::kOverlayLinesShown);
}
void SettingsStore::SetOverlayLinesShown(int64_t value) {
  WriteInt(Setting::kOverlayLinesShown, value);
}
std::string SettingsStore::OverlayPlaces() const {
  return ReadText(Setting::kOverlayPlaces);
}
void SettingsStore::SetOverlayPlaces(std::string_view value) {
  WriteText(Setting::kOverlayPlaces, value);
}
std::string SettingsStore::OverlayTextColour() const {
  return ReadText(Setting::kOverlayTextColour);
}
void SettingsStore::SetOverlayTextColour(std::string_view value) {
  WriteText(Setting::kOverlayTextColour, value);
}
std::string SettingsStore::SelectedEngineId() const {
  return ReadText(Setting::kSelectedEngineId);
}
void SettingsStore::SetSelectedEngineId(std::string_view value) {
  WriteText(Setting::kSelectedEngineId, value);
}
std::string SettingsStore::UserEngineJson() const {
  return ReadText(Setting::kUserEngineJson);
}
void SettingsStore::SetUserEngineJson(std::string_view value) {
  WriteText(Setting::kUserEngineJson, value);
}
std::string SettingsStore::CaptionSource() const {
  return ReadText(Setting::kCaptionSource);
}
void SettingsStore::SetCaptionSource(std::string_view value) {
  WriteText(Setting::kCaptionSource, value);
}

std::string SettingsStore::EngineOptions() const {
  return ReadText(Setting::kEngineOptions);
}
void SettingsStore::SetEngineOptions(std::string_view value) {
  WriteText(Setting::kEngineOptions, value);
}
int64_t SettingsStore::EngineContextSentences() const {
  return ReadInt(Setting::kContextSentences);
}
void SettingsStore::SetEngineContextSentences(int64_t value) {
  WriteInt(Setting::kContextSentences, value);
}
bool SettingsStore::TranscriptSideBySide() const {
  return ReadBool(Setting::kTranscriptSideBySide);
}
void SettingsStore::SetTranscriptSideBySide(bool value) {
  WriteBool(Setting::kTranscriptSideBySide, value);
}

std::string SettingsStore::ProviderLanguage() const {
  const auto value = store_->ReadForeignText(RevealText(Sealed::ProviderDomain),
                                             RevealText(Sealed::ProviderLanguageKey));
  if (!value)
    return {};
  return value->substr(0, value->find('-'));
}

std::optional<Setting> SettingsStore::SetFromPage(std::string_view storage_key,
                                                  std::string_view text) {
  const auto setting = SettingFromStorageKey(storage_key);
  if (!setting)
    return std::nullopt;
  switch (RowOf(*setting).kind) {
    case SettingKind::kBool:
      WriteBool(*setting, PageBool(text));
      break;
    case SettingKind::kInt:
      WriteInt(*setting, PageInteger(text).value_or(kUnparsablePageInteger));
      break;
    case SettingKind::kText:
      WriteText(*setting, text);
      break;
  }
  return setting;
}

bool SettingsStore::PageBool(std::string_view text) {
  return text == "1";
}

std::optional<int64_t> SettingsStore::PageInteger(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  // from_chars alone would accept a second sign; require a digit right after the sign.
  if (digits.empty() || digits[0] < '0' || digits[0] > '9')
    return std::nullopt;
  // Parse with the sign in place, so that INT64_MIN is accepted and overflow is caught.
  std::string signed_digits = negative ? "-" : "";
  signed_digits.append(digits);
  int64_t value = 0;
  const char* end = signed_digits.data() + signed_digits.size();
  const auto [ptr, ec] = std::from_chars(signed_digits.data(), end, value);
  if (ec != std::errc() || ptr != end)
    return std::nullopt;
  return value;
}

}  // namespace quensary
