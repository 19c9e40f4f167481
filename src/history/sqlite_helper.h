#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/caption_line.h"
#include "platform/worker_queue.h"
#include "protocol/page_words.h"

struct sqlite3_stmt;

namespace quensary {

// The history of caption lines: one SQLite file, opened and closed by every operation, so no
// connection is held between calls and a file that was removed is simply made again.
//
// Every operation is queued and runs, in the order it was queued, on the history's own thread:
// callers never wait for the disk, whatever holds the file. An operation that finds the file
// busy (another program holding it locked) stays first in the queue and is tried again a second
// later, so no row is lost to a busy file. Any other failure (a damaged or read-only file) leaves
// the file untouched and the operation without effect; reads then deliver absent. Nothing is
// reported. Every operation may be called from any thread; callers may hold `LineLock`.
class SQLiteHelper {
 public:
  // What an operation made of the file: done (or failed for good), or to be tried again.
  enum class Outcome { kDone, kBusy, kFailed };

  using LinesCallback = std::function<void(std::optional<std::vector<CaptionLinePtr>>)>;
  using TextCallback = std::function<void(std::optional<std::string>)>;

  // How long an operation waits for a busy file, and how long it then pauses before it is tried
  // again. Tests shorten them.
  struct Patience {
    std::chrono::milliseconds busy_timeout{2000};
    std::chrono::milliseconds retry_delay{1000};
  };

  // The history in the user's data folder: $XDG_DATA_HOME/quensary/.
  SQLiteHelper();
  // The history in another folder (made when missing).
  explicit SQLiteHelper(std::string folder);
  SQLiteHelper(std::string folder, Patience patience);
  // Runs what is queued, each operation once more at most, then stops the thread.
  ~SQLiteHelper();
  SQLiteHelper(const SQLiteHelper&) = delete;
  SQLiteHelper& operator=(const SQLiteHelper&) = delete;

  // Stores the line, replacing a stored row with the same Id.
  void SaveLine(const CaptionLine& line);
  // Sets the translation of the stored row with that Id; creates no row.
  void SetTranslation(std::string id, std::string tar);
  void DeleteLine(std::string id);
  void DeleteAll();

  // Reads run after everything queued before them and deliver on the history's thread.
  // The 15 rows with the greatest Id, oldest first; an empty table gives an empty list.
  void LatestLines(LinesCallback done);
  // Every stored row as blocks of text, each ending with an empty line: the Id, then the
  // original and the translation as the mode says.
  void ExportText(CopyMode mode, TextCallback done);

  // Waits until everything queued before the call has run, at most `limit`; whether it has.
  bool Flush(std::chrono::milliseconds limit);

  const std::string& path() const { return path_; }

 private:
  using Operation = std::function<Outcome()>;

  void Queue(Operation operation);
  // Opens the file, prepares `sql` and hands the statement to `use`; makes the folder, the file
  // (readable by its owner only) and the table first when they are missing.
  Outcome WithStatement(const std::string& sql,
                        const std::function<Outcome(sqlite3_stmt*)>& use) const;

  const std::string folder_;
  const std::string path_;
  const Patience patience_;
  WorkerQueue queue_;  // last: started when all else is ready
};

}  // namespace quensary
