#pragma once

#include <glib.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/glib/glib_ptr.h"
#include "platform/preferences_store.h"

namespace quensary {

// Preferences kept in GLib key files: the program's own domain in
// <config dir>/quensary/settings.ini, another application's in <config dir>/<domain>/settings.ini.
// The own file is read once and rewritten atomically on every write.
class KeyFilePreferences final : public PreferencesStore {
 public:
  // config_dir is normally $XDG_CONFIG_HOME (see DefaultConfigDir).
  explicit KeyFilePreferences(std::string config_dir);

  static std::string DefaultConfigDir();
  // The path of the program's own settings file under config_dir.
  static std::string OwnFilePath(const std::string& config_dir);

  std::optional<bool> ReadBool(std::string_view key) const override;
  std::optional<int64_t> ReadInt(std::string_view key) const override;
  std::optional<std::string> ReadText(std::string_view key) const override;
  void WriteBool(std::string_view key, bool value) override;
  void WriteInt(std::string_view key, int64_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;
  std::optional<std::string> ReadForeignText(std::string_view domain,
                                             std::string_view key) const override;

 private:
  // What was found on disk at start; decides whether the first save may replace the file.
  enum class FileState { kMissingOrLoaded, kDamaged, kUnreadable };

  template <typename Write>
  void WriteAndSave(Write&& write);
  bool KeepDamagedCopy();  // called with mutex_ held

  std::string config_dir_;
  std::string path_;
  mutable std::mutex mutex_;
  GKeyFilePtr file_;
  FileState state_ = FileState::kMissingOrLoaded;
};

}  // namespace quensary
