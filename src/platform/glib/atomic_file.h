#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quensary {

// Makes or replaces the file at `path` so that it holds either its old contents or all of
// `contents`, also after a crash: the text goes to a temporary file in the same folder, is flushed
// to disk and renamed over the old one. An existing file keeps its permission bits; a new one gets
// `new_file_mode` (less the umask). Absent on success; else why it failed, with the old file
// unchanged. Waits for the disk, so never on the main thread.
std::optional<std::string> ReplaceFileContents(const std::string& path, std::string_view contents,
                                               int new_file_mode);

}  // namespace quensary
