#include "history/sqlite_helper.h"

#include <fcntl.h>
#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "history/history_schema.h"
#include "history/search_term.h"
#include "history/sqlite_ptr.h"
#include "history/transcript_sessions.h"
#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

constexpr const char* kSaveLine =
    "INSERT OR REPLACE INTO LanguageTargetOne (Id, Ori, Finish, Tar)\n"
    "VALUES (?, ?, ?, ?);";
constexpr const char* kLatestLines =
    "SELECT Id, Ori, Finish, Tar\n"
    "FROM LanguageTargetOne\n"
    "ORDER BY Id DESC\n"
    "LIMIT 15;";
constexpr const char* kMarkRunStart = "INSERT OR IGNORE INTO RunStarts (Id) VALUES (?1);";
constexpr const char* kDeleteBetween = "DELETE FROM LanguageTargetOne WHERE Id >= ?1 AND Id <= ?2;";
constexpr const char* kIds = "SELECT Id FROM LanguageTargetOne";
constexpr const char* kRunStarts = "SELECT Id FROM RunStarts ORDER BY Id;";
constexpr const char* kForgetRunStarts = "DELETE FROM RunStarts;";
constexpr const char* kSelectLines = "SELECT Id, Ori, Finish, Tar FROM LanguageTargetOne";
// A phrase is looked up in two ways, both exact. Few matches are read by rowid and sorted by
// Id; many are found by walking the Id index from the asked end, which stops at the limit ("+"
// keeps the planner from reading by rowid), where sorting them all took 140 ms for a common
// word in 100,000 lines (bench/transcript_history_bench). Counting the matches first is cheap.
constexpr int64_t kSortedMatchesAtMost = 4000;
constexpr const char* kCountMatches =
    "SELECT count(*) FROM LanguageTargetSearch WHERE LanguageTargetSearch MATCH ?1;";
constexpr const char* kSearchFewMatches =
    "SELECT Id FROM LanguageTargetOne WHERE rowid IN (SELECT rowid FROM LanguageTargetSearch "
    "WHERE LanguageTargetSearch MATCH ?1)";
constexpr const char* kSearchManyMatches =
    "SELECT Id FROM LanguageTargetOne WHERE +rowid IN (SELECT rowid FROM LanguageTargetSearch "
    "WHERE LanguageTargetSearch MATCH ?1)";
// A text too short for the index: every row is read, newest or oldest first up to the limit.
constexpr const char* kSearchPattern =
    "SELECT Id FROM LanguageTargetOne WHERE Ori LIKE ?1 ESCAPE '\\' OR Tar LIKE ?1 ESCAPE "
    "'\\'";

bool IsBusy(int result) {
  const int primary = result & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Opens the file, making the folder and the file when they are missing: the history is the
// user's own, so a new file is readable by its owner only. A file without any write permission
// is opened read-only, so that it stays unchanged even for a user (root) whom the system would
// let write anyway.
Database OpenDatabase(const std::string& folder, const std::string& path,
                      std::chrono::milliseconds busy_timeout) {
  struct stat info {};
  int flags = SQLITE_OPEN_READWRITE;
  if (stat(path.c_str(), &info) != 0) {
    g_mkdir_with_parents(folder.c_str(), 0700);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
      close(fd);
  } else if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    flags = SQLITE_OPEN_READONLY;
  }
  sqlite3* raw = nullptr;
  const int result = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Database db(raw);  // SQLite hands out a handle to close even when opening fails.
  if (result != SQLITE_OK)
    return nullptr;
  sqlite3_busy_timeout(db.get(), static_cast<int>(busy_timeout.count()));
  return db;
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
}

// The program never stores NULL texts; a row written by someone else reads as empty text.
std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  return text ? reinterpret_cast<const char*>(text) : std::string();
}

// What the end of a statement's rows means: all done, to be tried again, or failed.
SQLiteHelper::Outcome EndOfRows(int result) {
  if (IsBusy(result))
    return SQLiteHelper::Outcome::kBusy;
  return result == SQLITE_DONE ? SQLiteHelper::Outcome::kDone : SQLiteHelper::Outcome::kFailed;
}

// Runs a statement that returns no rows.
SQLiteHelper::Outcome StepOnce(sqlite3_stmt* statement) {
  return EndOfRows(sqlite3_step(statement));
}

// Reads the first column of every row of `statement` into `texts`.
SQLiteHelper::Outcome ReadTexts(sqlite3_stmt* statement, std::vector<std::string>& texts) {
  texts.clear();
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW)
    texts.push_back(ColumnText(statement, 0));
  return EndOfRows(result);
}

// The clause that keeps the Ids from `first_id` to `last_id`, both included; an empty bound leaves
// that end open. The bounds given are added to `texts`, to be bound as ?1 and ?2.
std::string IdsBetween(std::string first_id, std::string last_id, std::vector<std::string>& texts) {
  std::string clause;
  if (!first_id.empty()) {
    clause += " WHERE Id >= ?1";
    texts.push_back(std::move(first_id));
  }
  if (!last_id.empty()) {
    clause += texts.empty() ? " WHERE Id <= ?1" : " AND Id <= ?2";
    texts.push_back(std::move(last_id));
  }
  return clause;
}

// Runs a second statement on the connection of the first.
SQLiteHelper::Outcome WithSecondStatement(
    sqlite3_stmt* first, const char* sql,
    const std::function<SQLiteHelper::Outcome(sqlite3_stmt*)>& use) {
  sqlite3_stmt* raw = nullptr;
  const int result = sqlite3_prepare_v2(sqlite3_db_handle(first), sql, -1, &raw, nullptr);
  const Statement statement(raw);
  if (IsBusy(result))
    return SQLiteHelper::Outcome::kBusy;
  if (result != SQLITE_OK || !statement)
    return SQLiteHelper::Outcome::kFailed;
  return use(statement.get());
}

std::string DefaultFolder() {
  const GCharPtr folder(g_build_filename(g_get_user_data_dir(), "quensary", nullptr));
  return folder.get();
}

std::string FilePath(const std::string& folder) {
  const std::string name = RevealText(Sealed::HistoryFileName);
  const GCharPtr path(g_build_filename(folder.c_str(), name.c_str(), nullptr));
  return path.get();
}

}  // namespace

SQLiteHelper::SQLiteHelper() : SQLiteHelper(DefaultFolder()) {}

SQLiteHelper::SQLiteHelper(std::string folder) : SQLiteHelper(std::move(folder), Patience{}) {}

SQLiteHelper::SQLiteHelper(std::string folder, Patience patience)
    : folder_(std::move(folder)),
      path_(FilePath(folder_)),
      patience_(patience),
      queue_({}, patience.retry_delay) {}

SQLiteHelper::~SQLiteHelper() = default;

void SQLiteHelper::Queue(Operation operation) {
  // A busy file is tried again after the pause, ahead of everything queued later.
  queue_.PostRetrying([operation = std::move(operation)] {
    return operation() == Outcome::kBusy ? WorkerQueue::Step::kRetryLater
                                         : WorkerQueue::Step::kDone;
  });
}

bool SQLiteHelper::Flush(std::chrono::milliseconds limit) {
  return queue_.Flush(limit);
}

SQLiteHelper::Outcome SQLiteHelper::WithStatement(
    const std::string& sql, const std::function<Outcome(sqlite3_stmt*)>& use) {
  Database db = OpenDatabase(folder_, path_, patience_.busy_timeout);
  if (!db)
    return Outcome::kFailed;
  // Once a run, and again whenever a table has gone (the file was removed and made anew). A file
  // that cannot take the tables (read-only, damaged) is still read as far as it can be.
  if (!tables_checked_) {
    const int made = EnsureHistorySchema(db.get());
    if (IsBusy(made))
      return Outcome::kBusy;
    tables_checked_ = made == SQLITE_OK;
  }
  sqlite3_stmt* raw = nullptr;
  int result = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr);
  Statement statement(raw);
  if (result != SQLITE_OK &&
      std::string_view(sqlite3_errmsg(db.get())).starts_with("no such table")) {
    const int made = EnsureHistorySchema(db.get());
    if (IsBusy(made))
      return Outcome::kBusy;
    raw = nullptr;
    result = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr);
    statement.reset(raw);
  }
  if (IsBusy(result))
    return Outcome::kBusy;
  // Also null for a text without a statement: a failure too.
  if (result != SQLITE_OK || !statement)
    return Outcome::kFailed;
  return use(statement.get());
}

void SQLiteHelper::SaveLine(const CaptionLine& line) {
  Queue([this, line] {
    return WithStatement(kSaveLine, [&](sqlite3_stmt* statement) {
      BindText(statement, 1, line.Id);
      BindText(statement, 2, line.Ori);
      sqlite3_bind_int(statement, 3, line.Finish ? 1 : 0);
      BindText(statement, 4, line.Tar);
      const Outcome saved = StepOnce(statement);
      if (saved != Outcome::kDone || run_marked_)
        return saved;
      // Tried again with the line when busy: saving it again changes nothing.
      const Outcome marked = WithSecondStatement(statement, kMarkRunStart, [&](sqlite3_stmt* mark) {
        BindText(mark, 1, line.Id);
        return StepOnce(mark);
      });
      run_marked_ = marked == Outcome::kDone;
      return marked == Outcome::kBusy ? marked : saved;
    });
  });
}

void SQLiteHelper::SetTranslation(std::string id, std::string tar) {
  Queue([this, id = std::move(id), tar = std::move(tar)] {
    return WithStatement(RevealText(Sealed::HistorySetTranslation), [&](sqlite3_stmt* statement) {
      BindText(statement, 1, tar);
      BindText(statement, 2, id);
      return StepOnce(statement);
    });
  });
}

void SQLiteHelper::DeleteLine(std::string id) {
  Queue([this, id = std::move(id)] {
    return WithStatement(RevealText(Sealed::HistoryDeleteLine), [&](sqlite3_stmt* statement) {
      BindText(statement, 1, id);
      return StepOnce(statement);
    });
  });
}

void SQLiteHelper::DeleteAll() {
  Queue([this] {
    const auto step = [](sqlite3_stmt* statement) { return StepOnce(statement); };
    const Outcome outcome = WithStatement(RevealText(Sealed::HistoryDeleteAll), step);
    // A cleared history keeps no trace of when the program ran either.
    return outcome == Outcome::kDone ? WithStatement(kForgetRunStarts, step) : outcome;
  });
}

void SQLiteHelper::DeleteBetween(std::string first_id, std::string last_id) {
  Queue([this, first_id = std::move(first_id), last_id = std::move(last_id)] {
    return WithStatement(kDeleteBetween, [&](sqlite3_stmt* statement) {
      BindText(statement, 1, first_id);
      BindText(statement, 2, last_id);
      return StepOnce(statement);
    });
  });
}

void SQLiteHelper::ReadLines(std::string sql, std::vector<std::string> texts, bool reverse,
                             LinesCallback done) {
  Queue([this, sql = std::move(sql), texts = std::move(texts), reverse, done = std::move(done)] {
    std::vector<CaptionLinePtr> lines;
    const Outcome outcome = WithStatement(sql, [&](sqlite3_stmt* statement) {
      lines.clear();
      for (size_t i = 0; i < texts.size(); ++i)
        BindText(statement, static_cast<int>(i + 1), texts[i]);
      int result;
      while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        lines.push_back(std::make_shared<CaptionLine>(
            ColumnText(statement, 0), ColumnText(statement, 1),
            sqlite3_column_int64(statement, 2) == 1, ColumnText(statement, 3)));
      }
      return EndOfRows(result);
    });
    if (outcome == Outcome::kBusy)
      return outcome;
    if (outcome == Outcome::kFailed) {
      done(std::nullopt);
    } else {
      if (reverse)
        std::reverse(lines.begin(), lines.end());
      done(std::move(lines));
    }
    return outcome;
  });
}

void SQLiteHelper::LatestLines(LinesCallback done) {
  ReadLines(kLatestLines, {}, true, std::move(done));
}

void SQLiteHelper::LinesPage(std::string anchor, PageSide side, int count, LinesCallback done) {
  const bool before = side == PageSide::kBefore;
  std::string sql = kSelectLines;
  std::vector<std::string> texts;
  if (!anchor.empty()) {
    sql += before ? " WHERE Id < ?1" : " WHERE Id > ?1";
    texts.push_back(std::move(anchor));
  }
  sql += before ? " ORDER BY Id DESC" : " ORDER BY Id";
  sql += " LIMIT " + std::to_string(std::max(count, 0)) + ";";
  ReadLines(std::move(sql), std::move(texts), before, std::move(done));
}

void SQLiteHelper::LinesBetween(std::string first_id, std::string last_id, LinesCallback done) {
  std::vector<std::string> texts;
  std::string sql =
      kSelectLines + IdsBetween(std::move(first_id), std::move(last_id), texts) + " ORDER BY Id;";
  ReadLines(std::move(sql), std::move(texts), false, std::move(done));
}

void SQLiteHelper::SearchLines(std::string text, SearchOrder order, int limit, IdsCallback done) {
  Search(std::move(text), order, limit, false,
         [done = std::move(done)](std::optional<Found> found) {
           done(found ? std::optional(std::move(found->ids)) : std::nullopt);
         });
}

void SQLiteHelper::SearchLinesCounted(std::string text, SearchOrder order, int limit,
                                      FoundCallback done) {
  Search(std::move(text), order, limit, true, std::move(done));
}

void SQLiteHelper::Search(std::string text, SearchOrder order, int limit, bool count_all,
                          FoundCallback done) {
  Queue([this, term = SearchTermFor(text), order, limit, count_all, done = std::move(done)] {
    if (!term) {
      done(Found());
      return Outcome::kDone;
    }
    const std::string by_id =
        order == SearchOrder::kNewestFirst ? " ORDER BY Id DESC" : " ORDER BY Id";
    const std::string order_and_limit =
        by_id + " LIMIT " + std::to_string(std::max(limit, 0)) + ";";
    Found found;
    const auto read_ids = [&](sqlite3_stmt* statement) {
      BindText(statement, 1, term->text);
      return ReadTexts(statement, found.ids);
    };
    Outcome outcome;
    if (term->kind == SearchTerm::Kind::kLikePattern && count_all) {
      // Every row is read anyway: one pass keeps the first Ids and counts the rest.
      outcome = WithStatement(kSearchPattern + by_id + ";", [&](sqlite3_stmt* statement) {
        found = {};
        BindText(statement, 1, term->text);
        int result;
        while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
          if (found.total++ < limit)
            found.ids.push_back(ColumnText(statement, 0));
        }
        return EndOfRows(result);
      });
    } else if (term->kind == SearchTerm::Kind::kLikePattern) {
      outcome = WithStatement(kSearchPattern + order_and_limit, read_ids);
    } else {
      outcome = WithStatement(kCountMatches, [&](sqlite3_stmt* count) {
        BindText(count, 1, term->text);
        const int result = sqlite3_step(count);
        if (result != SQLITE_ROW)
          return EndOfRows(result);
        found.total = sqlite3_column_int64(count, 0);
        const bool few = found.total <= kSortedMatchesAtMost;
        const std::string sql = (few ? kSearchFewMatches : kSearchManyMatches) + order_and_limit;
        return WithSecondStatement(count, sql.c_str(), read_ids);
      });
    }
    if (outcome == Outcome::kBusy)
      return outcome;
    done(outcome == Outcome::kDone ? std::optional(std::move(found)) : std::nullopt);
    return outcome;
  });
}

void SQLiteHelper::Sessions(SessionsCallback done) {
  SessionsBetween({}, {}, std::move(done));
}

void SQLiteHelper::SessionsBetween(std::string first_id, std::string last_id,
                                   SessionsCallback done) {
  std::vector<std::string> bounds;
  std::string sql =
      kIds + IdsBetween(std::move(first_id), std::move(last_id), bounds) + " ORDER BY Id;";
  Queue([this, sql = std::move(sql), bounds = std::move(bounds), done = std::move(done)] {
    std::vector<std::string> ids;
    std::vector<std::string> run_starts;
    const Outcome outcome = WithStatement(sql, [&](sqlite3_stmt* statement) {
      for (size_t i = 0; i < bounds.size(); ++i)
        BindText(statement, static_cast<int>(i + 1), bounds[i]);
      const Outcome read = ReadTexts(statement, ids);
      if (read != Outcome::kDone)
        return read;
      return WithSecondStatement(statement, kRunStarts, [&](sqlite3_stmt* starts) {
        return ReadTexts(starts, run_starts);
      });
    });
    if (outcome == Outcome::kBusy)
      return outcome;
    if (outcome == Outcome::kFailed) {
      done(std::nullopt);
      return outcome;
    }
    std::vector<Session> sessions;
    const std::vector<size_t> starts = SessionStarts(ids, run_starts);
    for (size_t i = 0; i < starts.size(); ++i) {
      const size_t end = i + 1 < starts.size() ? starts[i + 1] : ids.size();
      sessions.push_back({ids[starts[i]], ids[end - 1], end - starts[i]});
    }
    done(std::move(sessions));
    return outcome;
  });
}

void SQLiteHelper::ExportText(CopyMode mode, TextCallback done) {
  Queue([this, mode, done = std::move(done)] {
    std::string text;
    const Outcome outcome =
        WithStatement(RevealText(Sealed::HistoryExport), [&](sqlite3_stmt* statement) {
          text.clear();
          int result;
          while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
            text += ColumnText(statement, 0) + "\n";
            if (mode != CopyMode::kTranslation)
              text += ColumnText(statement, 1) + "\n";
            if (mode != CopyMode::kOriginal)
              text += ColumnText(statement, 2) + "\n";
            text += "\n";
          }
          if (IsBusy(result))
            return Outcome::kBusy;
          return result == SQLITE_DONE ? Outcome::kDone : Outcome::kFailed;
        });
    if (outcome == Outcome::kBusy)
      return outcome;
    done(outcome == Outcome::kDone ? std::optional<std::string>(std::move(text)) : std::nullopt);
    return outcome;
  });
}

}  // namespace quensary
