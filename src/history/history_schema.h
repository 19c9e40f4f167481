#pragma once

struct sqlite3;

namespace quensary {

// The tables of the history file beside the lines themselves, made when missing:
// - `LanguageTargetSearch`, a full-text index (FTS5, trigram tokens) of every row's original and
//   translation under the row's rowid, kept in step by triggers on `LanguageTargetOne`, so that
//   every writer of the file, older versions of the program included, keeps it right. A file
//   without it (one written by an older version) is indexed whole when it is added.
// - `RunStarts`, the Id of the first line each run of the program stored: where its sessions
//   begin (history/transcript_sessions.h).
// Runs in one transaction; the SQLite result code (SQLITE_OK, or why it failed: a busy file is to
// be tried again, a read-only one keeps what it has).
int EnsureHistorySchema(sqlite3* db);

}  // namespace quensary
