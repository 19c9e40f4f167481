#pragma once

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/glib/glib_ptr.h"
#include "platform/preferences_store.h"

namespace quensary {

// Preferences kept in GLib key files: the program's own domain in
// <config dir>/quensary/settings.ini, another application's in <config dir>/<domain>/settings.ini.
//
// The own file is read once. A write changes the values in memory at once and leaves the disk
// to a saver thread of its own, so no caller ever waits for the disk; a write that changes
// nothing saves nothing. Each save re-reads the file and changes only the keys this process has
// set, so values written meanwhile by another program (or by hand) survive. The file is
// replaced atomically, through a symbolic link if it is one, keeping its permissions; a new one
// is readable by its owner only.
class KeyFilePreferences final : public PreferencesStore {
 public:
  // What the files and their values are called; the caller knows the names.
  struct FileNames {
    std::string group;           // the key-file group every value is under
    std::string file_name;       // the file in each domain's folder
    std::string damaged_suffix;  // added to the path of a damaged file kept aside
  };

  // config_dir is normally $XDG_CONFIG_HOME (see DefaultConfigDir).
  KeyFilePreferences(std::string config_dir, FileNames names);
  // Saves what is pending.
  ~KeyFilePreferences() override;
  KeyFilePreferences(const KeyFilePreferences&) = delete;
  KeyFilePreferences& operator=(const KeyFilePreferences&) = delete;

  static std::string DefaultConfigDir();
  // The path of the program's own settings file under config_dir.
  static std::string OwnFilePath(const std::string& config_dir, const FileNames& names);

  std::optional<bool> ReadBool(std::string_view key) const override;
  std::optional<int64_t> ReadInt(std::string_view key) const override;
  std::optional<std::string> ReadText(std::string_view key) const override;
  void WriteBool(std::string_view key, bool value) override;
  void WriteInt(std::string_view key, int64_t value) override;
  void WriteText(std::string_view key, std::string_view value) override;
  std::optional<std::string> ReadForeignText(std::string_view domain,
                                             std::string_view key) const override;

  // Blocks until every write made before the call is on disk (or has failed for good), at most
  // `limit`: a disk that hangs must not keep the program from quitting. False when it timed out.
  bool Flush(std::chrono::milliseconds limit);

 private:
  // What was found on disk at start; decides whether the first save may replace the file.
  enum class FileState { kMissingOrLoaded, kDamaged, kUnreadable };
  using OwnValues = std::vector<std::pair<std::string, std::string>>;  // key, raw key-file value

  const std::string& Group() const { return names_.group; }
  template <typename Set>
  void Write(std::string_view key, Set&& set);
  void SaveLoop();
  // Saver thread only.
  void Save(const OwnValues& own);
  bool KeepDamagedCopy(const std::string& target);

  const std::string config_dir_;
  const FileNames names_;
  const std::string path_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  // Guarded by mutex_: the values reads see, the keys this process has set, the saver's state.
  GKeyFilePtr file_;
  std::set<std::string, std::less<>> own_keys_;
  bool dirty_ = false;
  bool saving_ = false;
  bool stopping_ = false;
  FileState state_ = FileState::kMissingOrLoaded;  // saver thread only after construction
  std::thread saver_;                              // last: started when all else is ready
};

}  // namespace quensary
