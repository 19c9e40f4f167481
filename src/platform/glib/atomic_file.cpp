#include "platform/glib/atomic_file.h"

#include <glib.h>
#include <sys/stat.h>

#include "platform/glib/glib_ptr.h"

namespace quensary {

std::optional<std::string> ReplaceFileContents(const std::string& path, std::string_view contents,
                                               int new_file_mode) {
  struct stat info {};
  const int mode =
      stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : new_file_mode;
  GError* raw_error = nullptr;
  // CONSISTENT: a temporary file, fsync and rename (no fsync when the file is new, as there is
  // nothing old to lose).
  if (g_file_set_contents_full(path.c_str(), contents.data(), static_cast<gssize>(contents.size()),
                               G_FILE_SET_CONTENTS_CONSISTENT, mode, &raw_error))
    return std::nullopt;
  const GErrorPtr error(raw_error);
  return std::string(error->message);
}

}  // namespace quensary
