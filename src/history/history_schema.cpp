#include "history/history_schema.h"

#include <sqlite3.h>

#include "history/sqlite_ptr.h"

namespace quensary {
namespace {

constexpr const char* kCreateLines =
    "CREATE TABLE IF NOT EXISTS LanguageTargetOne (\n"
    "    Id TEXT PRIMARY KEY,\n"
    "    Ori TEXT,\n"
    "    Finish INTEGER,\n"
    "    Tar TEXT\n"
    ");";

// The index keeps its own copy of the texts rather than reading them from the table ("external
// content"): an external-content index must be told the exact old texts of every row it drops,
// and INSERT OR REPLACE drops the replaced row without firing delete triggers (unless recursive
// triggers are on), which would leave it damaged. Dropping by rowid from an own-content index is
// harmless when repeated or when the row is missing, so each trigger below clears the rowids it
// is about to write. Trigram tokens find any part of a word in any script, also in languages
// written without spaces, as a page search does.
constexpr const char* kCreateRest = R"(
CREATE TABLE IF NOT EXISTS RunStarts (Id TEXT PRIMARY KEY);
CREATE VIRTUAL TABLE IF NOT EXISTS LanguageTargetSearch USING fts5(Ori, Tar, tokenize = 'trigram');
CREATE TRIGGER IF NOT EXISTS LanguageTargetSearchReplace BEFORE INSERT ON LanguageTargetOne BEGIN
  DELETE FROM LanguageTargetSearch
  WHERE rowid IN (SELECT rowid FROM LanguageTargetOne WHERE Id = new.Id);
END;
CREATE TRIGGER IF NOT EXISTS LanguageTargetSearchInsert AFTER INSERT ON LanguageTargetOne BEGIN
  DELETE FROM LanguageTargetSearch WHERE rowid = new.rowid;
  INSERT INTO LanguageTargetSearch (rowid, Ori, Tar) VALUES (new.rowid, new.Ori, new.Tar);
END;
CREATE TRIGGER IF NOT EXISTS LanguageTargetSearchUpdate AFTER UPDATE ON LanguageTargetOne BEGIN
  DELETE FROM LanguageTargetSearch WHERE rowid IN (old.rowid, new.rowid);
  INSERT INTO LanguageTargetSearch (rowid, Ori, Tar) VALUES (new.rowid, new.Ori, new.Tar);
END;
CREATE TRIGGER IF NOT EXISTS LanguageTargetSearchDelete AFTER DELETE ON LanguageTargetOne BEGIN
  DELETE FROM LanguageTargetSearch WHERE rowid = old.rowid;
END;
)";

constexpr const char* kIndexExisting =
    "INSERT INTO LanguageTargetSearch (rowid, Ori, Tar) SELECT rowid, Ori, Tar FROM "
    "LanguageTargetOne;";

bool HasSearchIndex(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                     "'LanguageTargetSearch';",
                     -1, &raw, nullptr);
  const Statement statement(raw);
  return statement && sqlite3_step(statement.get()) == SQLITE_ROW;
}

}  // namespace

int EnsureHistorySchema(sqlite3* db) {
  int result = sqlite3_exec(db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
  if (result != SQLITE_OK)
    return result;
  const bool indexed = HasSearchIndex(db);
  result = sqlite3_exec(db, kCreateLines, nullptr, nullptr, nullptr);
  if (result == SQLITE_OK)
    result = sqlite3_exec(db, kCreateRest, nullptr, nullptr, nullptr);
  if (result == SQLITE_OK && !indexed)
    result = sqlite3_exec(db, kIndexExisting, nullptr, nullptr, nullptr);
  if (result == SQLITE_OK)
    result = sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
  if (result != SQLITE_OK)
    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
  return result;
}

}  // namespace quensary
