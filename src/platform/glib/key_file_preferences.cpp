#include "platform/glib/key_file_preferences.h"

#include <glib/gstdio.h>


#include "support/diagnostics.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

std::string Group() {
  return RevealText(Sealed::SettingsGroup);
}

std::string DomainFilePath(const std::string& config_dir, std::string_view domain) {
  GCharPtr path(g_build_filename(config_dir.c_str(), std::string(domain).c_str(),
                                 RevealText(Sealed::SettingsFileName).c_str(), nullptr));
  return path.get();
}

}  // namespace

KeyFilePreferences::KeyFilePreferences(std::string config_dir)
    : config_dir_(std::move(config_dir)), path_(OwnFilePath(config_dir_)), file_(g_key_file_new()) {
  GError* raw_error = nullptr;
  if (g_key_file_load_from_file(file_.get(), path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, &raw_error)) {
    return;
  }
  GErrorPtr error(raw_error);
  file_.reset(g_key_file_new());
  if (g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT))
    return;
  if (error->domain == G_KEY_FILE_ERROR) {
    state_ = FileState::kDamaged;
    WriteDiagnostic("Settings file " + path_ + " is damaged (" + error->message +
                    "); using defaults");
  } else {
    state_ = FileState::kUnreadable;
    WriteDiagnostic("Settings file " + path_ + " cannot be read (" + error->message +
                    "); using defaults, changes are not saved");
  }
}

std::string KeyFilePreferences::DefaultConfigDir() {
  return g_get_user_config_dir();
}

std::string KeyFilePreferences::OwnFilePath(const std::string& config_dir) {
  return DomainFilePath(config_dir, "quensary");
}

std::optional<bool> KeyFilePreferences::ReadBool(std::string_view key) const {
  std::lock_guard lock(mutex_);
  GError* raw_error = nullptr;
  const gboolean value =
      g_key_file_get_boolean(file_.get(), Group().c_str(), std::string(key).c_str(), &raw_error);
  if (GErrorPtr(raw_error))
    return std::nullopt;
  return value != FALSE;
}

std::optional<int64_t> KeyFilePreferences::ReadInt(std::string_view key) const {
  std::lock_guard lock(mutex_);
  GError* raw_error = nullptr;
  const gint64 value =
      g_key_file_get_int64(file_.get(), Group().c_str(), std::string(key).c_str(), &raw_error);
  if (GErrorPtr(raw_error))
    return std::nullopt;
  return value;
}

std::optional<std::string> KeyFilePreferences::ReadText(std::string_view key) const {
  std::lock_guard lock(mutex_);
  GCharPtr value(
      g_key_file_get_string(file_.get(), Group().c_str(), std::string(key).c_str(), nullptr));
  if (!value)
    return std::nullopt;
  return std::string(value.get());
}

void KeyFilePreferences::WriteBool(std::string_view key, bool value) {
  WriteAndSave([&](GKeyFile* file, const std::string& group) {
    g_key_file_set_boolean(file, group.c_str(), std::string(key).c_str(), value);
  });
}

void KeyFilePreferences::WriteInt(std::string_view key, int64_t value) {
  WriteAndSave([&](GKeyFile* file, const std::string& group) {
    g_key_file_set_int64(file, group.c_str(), std::string(key).c_str(), value);
  });
}

void KeyFilePreferences::WriteText(std::string_view key, std::string_view value) {
  // Key files hold UTF-8 only; a text that is not would make the whole file unreadable later.
  const std::string text(value);
  GCharPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
  WriteAndSave([&](GKeyFile* file, const std::string& group) {
    g_key_file_set_string(file, group.c_str(), std::string(key).c_str(), valid.get());
  });
}

template <typename Write>
void KeyFilePreferences::WriteAndSave(Write&& write) {
  std::lock_guard lock(mutex_);
  write(file_.get(), Group());
  // A file we could not read may hold the user's values: never replace it.
  if (state_ == FileState::kUnreadable)
    return;
  if (state_ == FileState::kDamaged) {
    if (!KeepDamagedCopy())
      return;
    state_ = FileState::kMissingOrLoaded;
  }
  GCharPtr dir(g_path_get_dirname(path_.c_str()));
  g_mkdir_with_parents(dir.get(), 0700);
  GError* raw_error = nullptr;
  // g_key_file_save_to_file writes through g_file_set_contents: a temporary file renamed over
  // the old one, so a crash never leaves a half-written settings file.
  if (!g_key_file_save_to_file(file_.get(), path_.c_str(), &raw_error)) {
    GErrorPtr error(raw_error);
    WriteDiagnostic("Settings could not be saved to " + path_ + ": " + error->message);
  }
}

bool KeyFilePreferences::KeepDamagedCopy() {
  const std::string base = path_ + RevealText(Sealed::DamagedSettingsSuffix);
  std::string target = base;
  for (int n = 2; g_file_test(target.c_str(), G_FILE_TEST_EXISTS); ++n) {
    target = base + "." + std::to_string(n);
  }
  if (g_rename(path_.c_str(), target.c_str()) == 0)
    return true;
  WriteDiagnostic("Damaged settings file " + path_ + " could not be kept aside; changes are not saved");
  state_ = FileState::kUnreadable;
  return false;
}

std::optional<std::string> KeyFilePreferences::ReadForeignText(std::string_view domain,
                                                               std::string_view key) const {
  // A domain name must stay one folder below the config folder.
  if (domain.empty() || domain.find('/') != std::string_view::npos || domain == "." ||
      domain == "..") {
    return std::nullopt;
  }
  GKeyFilePtr file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), DomainFilePath(config_dir_, domain).c_str(),
                                 G_KEY_FILE_NONE, nullptr)) {
    return std::nullopt;
  }
  GCharPtr value(
      g_key_file_get_string(file.get(), Group().c_str(), std::string(key).c_str(), nullptr));
  if (!value)
    return std::nullopt;
  return std::string(value.get());
}

}  // namespace quensary
