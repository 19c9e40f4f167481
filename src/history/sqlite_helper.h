#pragma once

#include <chrono>
#include <cstddef>
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

  // A run of consecutive lines of the transcript (history/transcript_sessions.h).
  struct Session {
    std::string first_id;
    std::string last_id;
    size_t line_count = 0;
  };
  // Which lines a page holds: those just before the anchor Id or just after it.
  enum class PageSide { kBefore, kAfter };
  enum class SearchOrder { kNewestFirst, kOldestFirst };

  using LinesCallback = std::function<void(std::optional<std::vector<CaptionLinePtr>>)>;
  using TextCallback = std::function<void(std::optional<std::string>)>;
  using IdsCallback = std::function<void(std::optional<std::vector<std::string>>)>;
  using SessionsCallback = std::function<void(std::optional<std::vector<Session>>)>;
  // What a counted search found: the Ids of at most the rows asked, and how many match in all.
  struct Found {
    std::vector<std::string> ids;
    int64_t total = 0;
  };
  using FoundCallback = std::function<void(std::optional<Found>)>;

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

  // Stores the line, replacing a stored row with the same Id. The first line a helper stores
  // also marks the start of a run of the program, where a session of the transcript begins: the
  // program makes one helper per run.
  void SaveLine(const CaptionLine& line);
  // Sets the translation of the stored row with that Id; creates no row.
  void SetTranslation(std::string id, std::string tar);
  void DeleteLine(std::string id);
  void DeleteAll();
  // Deletes the rows from `first_id` to `last_id`, both included: a session, or a time range.
  void DeleteBetween(std::string first_id, std::string last_id);

  // Reads run after everything queued before them and deliver on the history's thread.
  // The 15 rows with the greatest Id, oldest first; an empty table gives an empty list.
  void LatestLines(LinesCallback done);
  // Every stored row as blocks of text, each ending with an empty line: the Id, then the
  // original and the translation as the mode says.
  void ExportText(CopyMode mode, TextCallback done);

  // The transcript, read a page at a time by `Id` (the primary key's index serves every page):
  // at most `count` rows just before `anchor` or just after it, oldest first. An empty anchor
  // stands before the first row for kAfter and after the last one for kBefore.
  void LinesPage(std::string anchor, PageSide side, int count, LinesCallback done);
  // The rows from `first_id` to `last_id`, both included, oldest first; an empty bound leaves
  // that end open. For saving a session, a range or everything.
  void LinesBetween(std::string first_id, std::string last_id, LinesCallback done);
  // The Ids of at most `limit` rows whose original or translation holds `text` (any case of its
  // letters, anywhere in a word), in the order asked. A blank text finds nothing.
  void SearchLines(std::string text, SearchOrder order, int limit, IdsCallback done);
  // The same, and how many rows match in all: the index counts its matches anyway; a text too
  // short for it is read to the last row, where the search alone may stop at the limit.
  void SearchLinesCounted(std::string text, SearchOrder order, int limit, FoundCallback done);
  // Every session of the transcript, oldest first.
  void Sessions(SessionsCallback done);
  // The sessions among the rows from `first_id` to `last_id`, both included, oldest first; an
  // empty bound leaves that end open. The first row read always begins one, so from a session's
  // first line on this is that session as it has grown and any after it; their counts add up to
  // the rows between the bounds.
  void SessionsBetween(std::string first_id, std::string last_id, SessionsCallback done);

  // Waits until everything queued before the call has run, at most `limit`; whether it has.
  bool Flush(std::chrono::milliseconds limit);

  const std::string& path() const { return path_; }

 private:
  using Operation = std::function<Outcome()>;

  void Queue(Operation operation);
  // Opens the file, prepares `sql` and hands the statement to `use`; makes the folder, the file
  // (readable by its owner only) and the tables first when they are missing. The search index
  // and the run starts are looked for once a run, by the first operation.
  Outcome WithStatement(const std::string& sql, const std::function<Outcome(sqlite3_stmt*)>& use);
  // Runs a read of whole rows (Id, Ori, Finish, Tar) with texts bound to ?1, ?2, ...; the rows
  // are delivered in the order read, or reversed.
  void ReadLines(std::string sql, std::vector<std::string> texts, bool reverse, LinesCallback done);
  void Search(std::string text, SearchOrder order, int limit, bool count_all, FoundCallback done);

  const std::string folder_;
  const std::string path_;
  const Patience patience_;
  // Touched by operations only, so on the history's thread alone.
  bool tables_checked_ = false;
  bool run_marked_ = false;
  WorkerQueue queue_;  // last: started when all else is ready
};

}  // namespace quensary
