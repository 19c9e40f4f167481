#include "support/settings_store.h"

#include <array>
#include <charconv>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using Setting = SettingsStore::Setting;

constexpr int64_t kUnparsablePageInteger = 22;

constexpr std::array kAllSettings = {
    Setting::kCaptionWindowShown, Setting::kOverlayShowA,   Setting::kOverlayShowB,
    Setting::kSourceLanguage,     Setting::kTargetLanguage, Setting::kMainWindowOnTop,
    Setting::kOverlayNumberA,     Setting::kOverlayNumberB, Setting::kOverlayString,
    Setting::kSelectedLineId,     Setting::kUserAddLine,
};

enum class Kind { kBool, kInt, kText };

Kind KindOf(Setting setting) {
  switch (setting) {
    case Setting::kCaptionWindowShown:
    case Setting::kOverlayShowA:
    case Setting::kOverlayShowB:
    case Setting::kMainWindowOnTop:
      return Kind::kBool;
    case Setting::kOverlayNumberA:
    case Setting::kOverlayNumberB:
      return Kind::kInt;
    default:
      return Kind::kText;
  }
}

}  // namespace

SettingsStore::SettingsStore(std::shared_ptr<PreferencesStore> store) : store_(std::move(store)) {}

std::string SettingsStore::StorageKey(Setting setting) {
  switch (setting) {
    case Setting::kCaptionWindowShown:
      return RevealText(Sealed::KeyCaptionWindowShown);
    case Setting::kOverlayShowA:
      return RevealText(Sealed::KeyOverlayShowA);
    case Setting::kOverlayShowB:
      return RevealText(Sealed::KeyOverlayShowB);
    case Setting::kSourceLanguage:
      return RevealText(Sealed::KeySourceLanguage);
    case Setting::kTargetLanguage:
      return RevealText(Sealed::KeyTargetLanguage);
    case Setting::kMainWindowOnTop:
      return RevealText(Sealed::KeyMainWindowOnTop);
    case Setting::kOverlayNumberA:
      return RevealText(Sealed::KeyOverlayNumberA);
    case Setting::kOverlayNumberB:
      return RevealText(Sealed::KeyOverlayNumberB);
    case Setting::kOverlayString:
      return RevealText(Sealed::KeyOverlayString);
    case Setting::kSelectedLineId:
      return RevealText(Sealed::KeySelectedLineId);
    case Setting::kUserAddLine:
      return RevealText(Sealed::KeyUserAddLine);
  }
  return {};
}

std::optional<Setting> SettingsStore::SettingForKey(std::string_view storage_key) {
  for (Setting setting : kAllSettings) {
    if (StorageKey(setting) == storage_key)
      return setting;
  }
  return std::nullopt;
}

bool SettingsStore::ReadBool(Setting setting, bool fallback) const {
  return store_->ReadBool(StorageKey(setting)).value_or(fallback);
}

int64_t SettingsStore::ReadInt(Setting setting, int64_t fallback) const {
  return store_->ReadInt(StorageKey(setting)).value_or(fallback);
}

std::string SettingsStore::ReadText(Setting setting, std::string fallback) const {
  return store_->ReadText(StorageKey(setting)).value_or(std::move(fallback));
}

bool SettingsStore::CaptionWindowShown() const {
  return ReadBool(Setting::kCaptionWindowShown, true);
}
void SettingsStore::SetCaptionWindowShown(bool value) {
  store_->WriteBool(StorageKey(Setting::kCaptionWindowShown), value);
}
bool SettingsStore::OverlayShowA() const {
  return ReadBool(Setting::kOverlayShowA, false);
}
void SettingsStore::SetOverlayShowA(bool value) {
  store_->WriteBool(StorageKey(Setting::kOverlayShowA), value);
}
bool SettingsStore::OverlayShowB() const {
  return ReadBool(Setting::kOverlayShowB, false);
}
void SettingsStore::SetOverlayShowB(bool value) {
  store_->WriteBool(StorageKey(Setting::kOverlayShowB), value);
}
std::string SettingsStore::SourceLanguage() const {
  return ReadText(Setting::kSourceLanguage, RevealText(Sealed::DefaultSourceLanguage));
}
void SettingsStore::SetSourceLanguage(std::string_view value) {
  store_->WriteText(StorageKey(Setting::kSourceLanguage), value);
}
std::string SettingsStore::TargetLanguage() const {
  return ReadText(Setting::kTargetLanguage, RevealText(Sealed::DefaultTargetLanguage));
}
void SettingsStore::SetTargetLanguage(std::string_view value) {
  store_->WriteText(StorageKey(Setting::kTargetLanguage), value);
}
bool SettingsStore::MainWindowOnTop() const {
  return ReadBool(Setting::kMainWindowOnTop, false);
}
void SettingsStore::SetMainWindowOnTop(bool value) {
  store_->WriteBool(StorageKey(Setting::kMainWindowOnTop), value);
}
int64_t SettingsStore::OverlayNumberA() const {
  return ReadInt(Setting::kOverlayNumberA, 100);
}
void SettingsStore::SetOverlayNumberA(int64_t value) {
  store_->WriteInt(StorageKey(Setting::kOverlayNumberA), value);
}
int64_t SettingsStore::OverlayNumberB() const {
  return ReadInt(Setting::kOverlayNumberB, 25);
}
void SettingsStore::SetOverlayNumberB(int64_t value) {
  store_->WriteInt(StorageKey(Setting::kOverlayNumberB), value);
}
std::string SettingsStore::OverlayString() const {
  return ReadText(Setting::kOverlayString, RevealText(Sealed::DefaultOverlayString));
}
void SettingsStore::SetOverlayString(std::string_view value) {
  store_->WriteText(StorageKey(Setting::kOverlayString), value);
}
std::string SettingsStore::SelectedLineId() const {
  return ReadText(Setting::kSelectedLineId, RevealText(Sealed::DefaultSelectedLineId));
}
void SettingsStore::SetSelectedLineId(std::string_view value) {
  store_->WriteText(StorageKey(Setting::kSelectedLineId), value);
}
std::string SettingsStore::UserAddLine() const {
  return ReadText(Setting::kUserAddLine, "");
}
void SettingsStore::SetUserAddLine(std::string_view value) {
  store_->WriteText(StorageKey(Setting::kUserAddLine), value);
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
  const auto setting = SettingForKey(storage_key);
  if (!setting)
    return std::nullopt;
  const std::string key = StorageKey(*setting);
  switch (KindOf(*setting)) {
    case Kind::kBool:
      store_->WriteBool(key, PageBool(text));
      break;
    case Kind::kInt:
      store_->WriteInt(key, PageInteger(text));
      break;
    case Kind::kText:
      store_->WriteText(key, text);
      break;
  }
  return setting;
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
