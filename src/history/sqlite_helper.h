#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "history/caption_line.h"

namespace quensary {

// The history of caption lines: one SQLite file, opened and closed by every operation, so no
// connection is held between calls. Every operation may be called from any thread and none
// reports failure: a missing, damaged or read-only file leaves the program running, the file
// untouched, and the operation without effect (Latest lines then gives absent).
//
// Lock order: callers may hold `LineLock` when they call in; this class takes only its own lock.
class SQLiteHelper {
 public:
  // The history in the user's data folder: $XDG_DATA_HOME/quensary/.
  SQLiteHelper();
  // The history in another folder (created at the first operation when missing).
  explicit SQLiteHelper(std::string folder);
  SQLiteHelper(const SQLiteHelper&) = delete;
  SQLiteHelper& operator=(const SQLiteHelper&) = delete;

  // Stores the line, replacing a stored row with the same Id.
  void SaveLine(const CaptionLine& line);
  // Sets the translation of the stored row with that Id; creates no row.
  void SetTranslation(const std::string& id, const std::string& tar);
  // The 15 rows with the greatest Id, oldest first. An empty table gives an empty list; a file
  // that cannot be read gives absent.
  std::optional<std::vector<CaptionLinePtr>> LatestLines();
  void DeleteLine(const std::string& id);
  void DeleteAll();
  // Puts every stored row on the clipboard as blocks of text, each ending with an empty line:
  // the Id, then the original (unless mode is 2) and the translation (unless mode is 1).
  // Nothing is copied when the file cannot be read.
  void CopyToClipboard(int mode, Clipboard& clipboard);

  const std::string& path() const { return path_; }

 private:
  // Creates the folder and the table once per instance, before the first operation proceeds.
  void EnsureTable();

  const std::string folder_;
  const std::string path_;
  std::once_flag table_once_;
  std::mutex lock_;
};

}  // namespace quensary
