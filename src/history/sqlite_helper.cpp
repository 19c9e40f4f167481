#include "history/sqlite_helper.h"

#include <fcntl.h>
#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

constexpr int kLatestLineCount = 15;  // Also written into the query below.

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS LanguageTargetOne (\n"
    "    Id TEXT PRIMARY KEY,\n"
    "    Ori TEXT,\n"
    "    Finish INTEGER,\n"
    "    Tar TEXT\n"
    ");";
constexpr const char* kSaveLine =
    "INSERT OR REPLACE INTO LanguageTargetOne (Id, Ori, Finish, Tar)\n"
    "VALUES (?, ?, ?, ?);";
constexpr const char* kLatestLines =
    "SELECT Id, Ori, Finish, Tar\n"
    "FROM LanguageTargetOne\n"
    "ORDER BY Id DESC\n"
    "LIMIT 15;";

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

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

// Runs a statement that returns no rows.
SQLiteHelper::Outcome StepOnce(sqlite3_stmt* statement) {
  const int result = sqlite3_step(statement);
  if (IsBusy(result))
    return SQLiteHelper::Outcome::kBusy;
  return result == SQLITE_DONE ? SQLiteHelper::Outcome::kDone : SQLiteHelper::Outcome::kFailed;
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
    const std::string& sql, const std::function<Outcome(sqlite3_stmt*)>& use) const {
  Database db = OpenDatabase(folder_, path_, patience_.busy_timeout);
  if (!db)
    return Outcome::kFailed;
  sqlite3_stmt* raw = nullptr;
  int result = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr);
  Statement statement(raw);
  // The table is made only when a statement finds it missing (a new file, or one that was
  // removed and made again), so a save costs no look at the schema while all is well.
  if (result != SQLITE_OK &&
      std::string_view(sqlite3_errmsg(db.get())).starts_with("no such table")) {
    const int created = sqlite3_exec(db.get(), kCreateTable, nullptr, nullptr, nullptr);
    if (IsBusy(created))
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
      return StepOnce(statement);
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
    return WithStatement(RevealText(Sealed::HistoryDeleteAll),
                         [](sqlite3_stmt* statement) { return StepOnce(statement); });
  });
}

void SQLiteHelper::LatestLines(LinesCallback done) {
  Queue([this, done = std::move(done)] {
    std::vector<CaptionLinePtr> lines;
    const Outcome outcome = WithStatement(kLatestLines, [&](sqlite3_stmt* statement) {
      lines.clear();
      lines.reserve(kLatestLineCount);
      int result;
      while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        lines.push_back(std::make_shared<CaptionLine>(
            ColumnText(statement, 0), ColumnText(statement, 1),
            sqlite3_column_int64(statement, 2) == 1, ColumnText(statement, 3)));
      }
      if (IsBusy(result))
        return Outcome::kBusy;
      return result == SQLITE_DONE ? Outcome::kDone : Outcome::kFailed;
    });
    if (outcome == Outcome::kBusy)
      return outcome;
    if (outcome == Outcome::kFailed) {
      done(std::nullopt);
    } else {
      std::reverse(lines.begin(), lines.end());
      done(std::move(lines));
    }
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
