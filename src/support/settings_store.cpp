#include "support/settings_store.h"

#include <charconv>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using Setting = SettingsStore::Setting;

constexpr int64_t kUnparsablePageInteger = 22;

enum class Kind { kBool, kInt, kText };

// One row per setting: its sealed storage key, its type and its default. A text default is a
// sealed literal, or null for the empty text.
struct SettingRow {
  Setting setting;
  const char* key;
  Kind kind;
  bool bool_default = false;
  int64_t int_default = 0;
  const char* text_default = nullptr;
};

constexpr SettingRow kSettings[] = {
    {Setting::kCaptionWindowShown, Sealed::KeyCaptionWindowShown, Kind::kBool, true},
    {Setting::kOverlayShowA, Sealed::KeyOverlayShowA, Kind::kBool, false},
    {Setting::kOverlayShowB, Sealed::KeyOverlayShowB, Kind::kBool, false},
    {Setting::kSourceLanguage, Sealed::KeySourceLanguage, Kind::kText, false, 0,
     Sealed::DefaultSourceLanguage},
    {Setting::kTargetLanguage, Sealed::KeyTargetLanguage, Kind::kText, false, 0,
     Sealed::DefaultTargetLanguage},
    {Setting::kMainWindowOnTop, Sealed::KeyMainWindowOnTop, Kind::kBool, false},
    {Setting::kOverlayNumberA, Sealed::KeyOverlayNumberA, Kind::kInt, false, 100},
    {Setting::kOverlayNumberB, Sealed::KeyOverlayNumberB, Kind::kInt, false, 25},
    {Setting::kOverlayString, Sealed::KeyOverlayString, Kind::kText, false, 0,
     Sealed::DefaultOverlayString},
    {Setting::kSelectedLineId, Sealed::KeySelectedLineId, Kind::kText, false, 0,
     Sealed::DefaultSelectedLineId},
    {Setting::kUserAddLine, Sealed::KeyUserAddLine, Kind::kText},
    {Setting::kCaptionSource, Sealed::KeyCaptionSource, Kind::kText},
};

const SettingRow& RowOf(Setting setting) {
  for (const SettingRow& row : kSettings) {
    if (row.setting == setting)
      return row;
  }
  return kSettings[0];  // unreachable: every setting has its row
}

}  // namespace

SettingsStore::SettingsStore(std::shared_ptr<PreferencesStore> store) : store_(std::move(store)) {}

std::string SettingsStore::StorageKey(Setting setting) {
  return RevealText(RowOf(setting).key);
}

bool SettingsStore::ReadBool(Setting setting) const {
  return store_->ReadBool(StorageKey(setting)).value_or(RowOf(setting).bool_default);
}
int64_t SettingsStore::ReadInt(Setting setting) const {
  return store_->ReadInt(StorageKey(setting)).value_or(RowOf(setting).int_default);
}
std::string SettingsStore::ReadText(Setting setting) const {
  if (auto value = store_->ReadText(StorageKey(setting)))
    return std::move(*value);
  const char* fallback = RowOf(setting).text_default;
  return fallback ? RevealText(fallback) : std::string();
}
void SettingsStore::WriteBool(Setting setting, bool value) {
  store_->WriteBool(StorageKey(setting), value);
}
void SettingsStore::WriteInt(Setting setting, int64_t value) {
  store_->WriteInt(StorageKey(setting), value);
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
bool SettingsStore::OverlayShowA() const {
  return ReadBool(Setting::kOverlayShowA);
}
void SettingsStore::SetOverlayShowA(bool value) {
  WriteBool(Setting::kOverlayShowA, value);
}
bool SettingsStore::OverlayShowB() const {
  return ReadBool(Setting::kOverlayShowB);
}
void SettingsStore::SetOverlayShowB(bool value) {
  WriteBool(Setting::kOverlayShowB, value);
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
int64_t SettingsStore::OverlayNumberA() const {
  return ReadInt(Setting::kOverlayNumberA);
}
void SettingsStore::SetOverlayNumberA(int64_t value) {
  WriteInt(Setting::kOverlayNumberA, value);
}
int64_t SettingsStore::OverlayNumberB() const {
  return ReadInt(Setting::kOverlayNumberB);
}
void SettingsStore::SetOverlayNumberB(int64_t value) {
  WriteInt(Setting::kOverlayNumberB, value);
}
std::string SettingsStore::OverlayString() const {
  return ReadText(Setting::kOverlayString);
}
void SettingsStore::SetOverlayString(std::string_view value) {
  WriteText(Setting::kOverlayString, value);
}
std::string SettingsStore::SelectedLineId() const {
  return ReadText(Setting::kSelectedLineId);
}
void SettingsStore::SetSelectedLineId(std::string_view value) {
  WriteText(Setting::kSelectedLineId, value);
}
std::string SettingsStore::UserAddLine() const {
  return ReadText(Setting::kUserAddLine);
}
void SettingsStore::SetUserAddLine(std::string_view value) {
  WriteText(Setting::kUserAddLine, value);
}
std::string SettingsStore::CaptionSource() const {
  return ReadText(Setting::kCaptionSource);
}
void SettingsStore::SetCaptionSource(std::string_view value) {
  WriteText(Setting::kCaptionSource, value);
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
  for (const SettingRow& row : kSettings) {
    if (RevealText(row.key) != storage_key)
      continue;
    switch (row.kind) {
      case Kind::kBool:
        WriteBool(row.setting, PageBool(text));
        break;
      case Kind::kInt:
        WriteInt(row.setting, PageInteger(text));
        break;
      case Kind::kText:
        WriteText(row.setting, text);
        break;
    }
    return row.setting;
  }
  return std::nullopt;
}

bool SettingsStore::PageBool(std::string_view text) {
  return text == "1";
}

int64_t SettingsStore::PageInteger(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  // from_chars alone would accept a second sign; require a digit right after the sign.
  if (digits.empty() || digits[0] < '0' || digits[0] > '9')
    return kUnparsablePageInteger;
  // Parse with the sign in place, so that INT64_MIN is accepted and overflow is caught.
  std::string signed_digits = negative ? "-" : "";
  signed_digits.append(digits);
  int64_t value = 0;
  const char* end = signed_digits.data() + signed_digits.size();
  const auto [ptr, ec] = std::from_chars(signed_digits.data(), end, value);
  if (ec != std::errc() || ptr != end)
    return kUnparsablePageInteger;
  return value;
}

}  // namespace quensary
