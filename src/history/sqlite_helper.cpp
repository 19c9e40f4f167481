#include "history/sqlite_helper.h"

#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

// Another reader of the file (a backup tool, a second look with the sqlite3 shell) must not
// make a save fail at once.
constexpr int kBusyTimeoutMs = 2000;

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

// Opens the file for one operation, creating it when missing. A file without any write
// permission is opened read-only, so that it stays unchanged even for a user (root) whom the
// system would let write anyway.
Database OpenDatabase(const std::string& path) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    flags = SQLITE_OPEN_READONLY;
  sqlite3* raw = nullptr;
  const int result = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Database db(raw);  // SQLite hands out a handle to close even when opening fails.
  if (result != SQLITE_OK)
    return nullptr;
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  return db;
}

// Absent when the statement does not compile (also for a file that is not a database).
Statement Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return nullptr;
  }
  return Statement(raw);  // Null for a text without a statement: treated as a failure too.
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
}

// The program never stores NULL texts; a row written by someone else reads as empty text.
std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  return text ? reinterpret_cast<const char*>(text) : std::string();
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

SQLiteHelper::SQLiteHelper(std::string folder)
    : folder_(std::move(folder)), path_(FilePath(folder_)) {}

void SQLiteHelper::EnsureTable() {
  // Runs outside the operation lock; concurrent first callers wait here until it is done. When
  // the file cannot be opened the chance is spent: later operations fail on their own.
  std::call_once(table_once_, [this] {
    g_mkdir_with_parents(folder_.c_str(), 0700);
    Database db = OpenDatabase(path_);
    if (db)
      sqlite3_exec(db.get(), kCreateTable, nullptr, nullptr, nullptr);
  });
}

void SQLiteHelper::SaveLine(const CaptionLine& line) {
  EnsureTable();
  std::lock_guard lock(lock_);
  Database db = OpenDatabase(path_);
  if (!db)
    return;
  Statement statement = Prepare(db.get(), kSaveLine);
  if (!statement)
    return;
  BindText(statement.get(), 1, line.Id);
  BindText(statement.get(), 2, line.Ori);
  sqlite3_bind_int(statement.get(), 3, line.Finish ? 1 : 0);
  BindText(statement.get(), 4, line.Tar);
  sqlite3_step(statement.get());  // A failed step (busy, full, read-only) is left as it is.
}

void SQLiteHelper::SetTranslation(const std::string& id, const std::string& tar) {
  EnsureTable();
  std::lock_guard lock(lock_);
  Database db = OpenDatabase(path_);
  if (!db)
    return;
  Statement statement = Prepare(db.get(), RevealText(Sealed::HistorySetTranslation));
  if (!statement)
    return;
  BindText(statement.get(), 1, tar);
  BindText(statement.get(), 2, id);
  sqlite3_step(statement.get());
}

std::optional<std::vector<CaptionLinePtr>> SQLiteHelper::LatestLines() {
  EnsureTable();
  std::lock_guard lock(lock_);
  Database db = OpenDatabase(path_);
  if (!db)
    return std::nullopt;
  Statement statement = Prepare(db.get(), kLatestLines);
  if (!statement)
    return std::nullopt;
  std::vector<CaptionLinePtr> lines;
  lines.reserve(kLatestLineCount);
  while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    lines.push_back(std::make_shared<CaptionLine>(
        ColumnText(statement.get(), 0), ColumnText(statement.get(), 1),
        sqlite3_column_int64(statement.get(), 2) == 1, ColumnText(statement.get(), 3)));
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

void SQLiteHelper::DeleteLine(const std::string& id) {
  EnsureTable();
  std::lock_guard lock(lock_);
  Database db = OpenDatabase(path_);
  if (!db)
    return;
  Statement statement = Prepare(db.get(), RevealText(Sealed::HistoryDeleteLine));
  if (!statement)
    return;
  BindText(statement.get(), 1, id);
  sqlite3_step(statement.get());
}

void SQLiteHelper::DeleteAll() {
  EnsureTable();
  std::lock_guard lock(lock_);
  Database db = OpenDatabase(path_);
  if (!db)
    return;
  sqlite3_exec(db.get(), RevealText(Sealed::HistoryDeleteAll).c_str(), nullptr, nullptr, nullptr);
}

void SQLiteHelper::CopyToClipboard(int mode, Clipboard& clipboard) {
  EnsureTable();
  std::string text;
  {
    std::lock_guard lock(lock_);
    Database db = OpenDatabase(path_);
    if (!db)
      return;
    Statement statement = Prepare(db.get(), RevealText(Sealed::HistoryExport));
    if (!statement)
      return;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
      text += ColumnText(statement.get(), 0) + "\n";
      if (mode != 2)
        text += ColumnText(statement.get(), 1) + "\n";
      if (mode != 1)
        text += ColumnText(statement.get(), 2) + "\n";
      text += "\n";
    }
  }
  // The desktop call is made after the file is closed and the lock released.
  clipboard.SetText(text);
}

}  // namespace quensary
