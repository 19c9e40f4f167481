#include "platform/glib/key_file_preferences.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/diagnostics.h"
#include "platform/glib/atomic_file.h"

namespace quensary {
namespace {

constexpr int kNewFileMode = 0600;
// A settings file is a few hundred bytes; a larger one is not ours.
constexpr off_t kMaxFileBytes = 1024 * 1024;

// A file descriptor that closes itself.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0)
      close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Loads a key file from a regular file only. A FIFO in its place would block the open or the
// read until some other process writes to it, a device could never end: anything but a regular
// file of sensible size counts as damaged, and is kept aside like one.
bool LoadRegularFile(GKeyFile* file, const std::string& path, GKeyFileFlags flags, GError** error) {
  const OpenFile opened(g_open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
  if (opened.fd() < 0) {
    const int code = errno;
    g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(code), "%s", g_strerror(code));
    return false;
  }
  struct stat info {};
  if (fstat(opened.fd(), &info) != 0 || !S_ISREG(info.st_mode)) {
    g_set_error_literal(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_PARSE, "not a regular file");
    return false;
  }
  if (info.st_size > kMaxFileBytes) {
    g_set_error_literal(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_PARSE, "larger than 1 MiB");
    return false;
  }
  std::string data;
  char buffer[16 * 1024];
  for (;;) {
    const ssize_t count = read(opened.fd(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0) {
      const int code = errno;
      g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(code), "%s", g_strerror(code));
      return false;
    }
    if (count == 0)
      break;
    data.append(buffer, static_cast<size_t>(count));
    if (static_cast<off_t>(data.size()) > kMaxFileBytes) {
      g_set_error_literal(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_PARSE, "larger than 1 MiB");
      return false;
    }
  }
  return g_key_file_load_from_data(file, data.data(), data.size(), flags, error);
}

std::string DomainFilePath(const std::string& config_dir, std::string_view domain,
                           const std::string& file_name) {
  GCharPtr path(g_build_filename(config_dir.c_str(), std::string(domain).c_str(), file_name.c_str(),
                                 nullptr));
  return path.get();
}

// The file a save replaces: the path itself, or what it links to (also a link not yet pointing
// at anything), so the user's symbolic link survives the save.
std::string SaveTarget(const std::string& path) {
  // realpath allocates with malloc, which g_free releases (GLib always uses the system malloc).
  GCharPtr resolved(realpath(path.c_str(), nullptr));
  if (resolved)
    return resolved.get();
  GCharPtr link(g_file_read_link(path.c_str(), nullptr));
  if (!link)
    return path;
  if (g_path_is_absolute(link.get()))
    return link.get();
  GCharPtr dir(g_path_get_dirname(path.c_str()));
  GCharPtr joined(g_build_filename(dir.get(), link.get(), nullptr));
  return joined.get();
}

}  // namespace

KeyFilePreferences::KeyFilePreferences(std::string config_dir, FileNames names)
    : config_dir_(std::move(config_dir)),
      names_(std::move(names)),
      path_(OwnFilePath(config_dir_, names_)),
      file_(g_key_file_new()) {
  GError* raw_error = nullptr;
  if (!LoadRegularFile(file_.get(), path_, G_KEY_FILE_KEEP_COMMENTS, &raw_error)) {
    GErrorPtr error(raw_error);
    file_.reset(g_key_file_new());
    if (error->domain == G_KEY_FILE_ERROR) {
      state_ = FileState::kDamaged;
      WriteDiagnostic("Settings file " + path_ + " is damaged (" + error->message +
                      "); using defaults");
    } else if (!g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
      state_ = FileState::kUnreadable;
      WriteDiagnostic("Settings file " + path_ + " cannot be read (" + error->message +
                      "); using defaults, changes are not saved");
    }
  }
  saver_ = std::thread([this] { SaveLoop(); });
}

KeyFilePreferences::~KeyFilePreferences() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  saver_.join();
}

std::string KeyFilePreferences::DefaultConfigDir() {
  return g_get_user_config_dir();
}

std::string KeyFilePreferences::OwnFilePath(const std::string& config_dir, const FileNames& names) {
  return DomainFilePath(config_dir, "quensary", names.file_name);
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
  Write(key, [&](GKeyFile* file, const char* group, const char* name) {
    g_key_file_set_boolean(file, group, name, value);
  });
}

void KeyFilePreferences::WriteInt(std::string_view key, int64_t value) {
  Write(key, [&](GKeyFile* file, const char* group, const char* name) {
    g_key_file_set_int64(file, group, name, value);
  });
}

void KeyFilePreferences::WriteText(std::string_view key, std::string_view value) {
  // Key files hold UTF-8 only; a text that is not would make the whole file unreadable later.
  const std::string text(value);
  GCharPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
  Write(key, [&](GKeyFile* file, const char* group, const char* name) {
    g_key_file_set_string(file, group, name, valid.get());
  });
}

template <typename Set>
void KeyFilePreferences::Write(std::string_view key, Set&& set) {
  const std::string group = Group();
  const std::string name(key);
  std::lock_guard lock(mutex_);
  GCharPtr before(g_key_file_get_value(file_.get(), group.c_str(), name.c_str(), nullptr));
  set(file_.get(), group.c_str(), name.c_str());
  own_keys_.insert(name);
  GCharPtr after(g_key_file_get_value(file_.get(), group.c_str(), name.c_str(), nullptr));
  // An unchanged value needs no save; it still goes with the next one, as a key of ours.
  if (before && g_strcmp0(before.get(), after.get()) == 0)
    return;
  dirty_ = true;
  wake_.notify_one();
}

bool KeyFilePreferences::Flush(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [this] { return !dirty_ && !saving_; });
}

void KeyFilePreferences::SaveLoop() {
  const std::string group = Group();
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || dirty_; });
    if (!dirty_)
      return;  // stopping, and everything is saved
    dirty_ = false;
    saving_ = true;
    OwnValues own;
    for (const std::string& key : own_keys_) {
      GCharPtr raw(g_key_file_get_value(file_.get(), group.c_str(), key.c_str(), nullptr));
      if (raw)
        own.emplace_back(key, raw.get());
    }
    lock.unlock();
    Save(own);
    lock.lock();
    saving_ = false;
    idle_.notify_all();
  }
}

void KeyFilePreferences::Save(const OwnValues& own) {
  // A file we could not read may hold the user's values: never replace it.
  if (state_ == FileState::kUnreadable)
    return;
  const std::string target = SaveTarget(path_);
  if (state_ == FileState::kDamaged) {
    if (!KeepDamagedCopy(target))
      return;
    state_ = FileState::kMissingOrLoaded;
  }
  // What is on disk now, so that keys this process never set keep their current values.
  GKeyFilePtr merged(g_key_file_new());
  GError* raw_error = nullptr;
  if (!LoadRegularFile(merged.get(), target, G_KEY_FILE_KEEP_COMMENTS, &raw_error)) {
    GErrorPtr error(raw_error);
    merged.reset(g_key_file_new());
    if (error->domain == G_KEY_FILE_ERROR) {
      // Damaged since the start (by hand, by another program): keep it aside as at the start.
      WriteDiagnostic("Settings file " + path_ + " is damaged (" + error->message + ")");
      if (!KeepDamagedCopy(target))
        return;
    } else if (!g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
      WriteDiagnostic("Settings could not be saved to " + path_ + ": " + error->message);
      return;
    }
  }
  const std::string group = Group();
  for (const auto& [key, raw] : own)
    g_key_file_set_value(merged.get(), group.c_str(), key.c_str(), raw.c_str());

  GCharPtr dir(g_path_get_dirname(target.c_str()));
  g_mkdir_with_parents(dir.get(), 0700);
  gsize length = 0;
  GCharPtr data(g_key_file_to_data(merged.get(), &length, nullptr));
  // A temporary file renamed over the old one: a crash never leaves a half-written file.
  if (const auto failure =
          ReplaceFileContents(target, std::string_view(data.get(), length), kNewFileMode)) {
    WriteDiagnostic("Settings could not be saved to " + path_ + ": " + *failure);
    return;
  }
  // Reads now see what other writers stored too, except where this process has its own value.
  std::lock_guard lock(mutex_);
  gsize count = 0;
  const GStrvPtr keys(g_key_file_get_keys(merged.get(), group.c_str(), &count, nullptr));
  for (gsize i = 0; keys && i < count; ++i) {
    const char* key = keys.get()[i];
    if (own_keys_.contains(key))
      continue;
    GCharPtr raw(g_key_file_get_value(merged.get(), group.c_str(), key, nullptr));
    if (raw)
      g_key_file_set_value(file_.get(), group.c_str(), key, raw.get());
  }
}

bool KeyFilePreferences::KeepDamagedCopy(const std::string& target) {
  const std::string base = path_ + names_.damaged_suffix;
  std::string copy = base;
  for (int n = 2; g_file_test(copy.c_str(), G_FILE_TEST_EXISTS); ++n)
    copy = base + "." + std::to_string(n);
  if (g_rename(target.c_str(), copy.c_str()) == 0)
    return true;
  WriteDiagnostic("Damaged settings file " + path_ +
                  " could not be kept aside; changes are not saved");
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
  if (!LoadRegularFile(file.get(), DomainFilePath(config_dir_, domain, names_.file_name),
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
