#pragma once

#include <glib.h>

#include <filesystem>
#include <string>

namespace quensary::testing {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    gchar* made = g_dir_make_tmp("quensary-test-XXXXXX", nullptr);
    path_ = made ? made : "";
    g_free(made);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quensary::testing
