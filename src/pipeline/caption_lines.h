#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bus/lns_center.h"
#include "history/caption_line.h"
#include "history/sqlite_helper.h"
#include "pipeline/line_id_maker.h"
#include "platform/clock.h"

namespace quensary {

// The current caption lines (`LineList`, oldest first) with the lock every writer holds
// (`LineLock`), and the operations beside them: publishing the list to the pages, updating it
// from the sentence tracker, deleting lines and restoring the latest ones from the history.
// Created once by the program; tests make their own.
//
// Operations that need the lock take the guard returned by `LineLock()` as proof, so a caller
// cannot forget it. Nothing under the lock waits for the disk (the history only queues a copy
// of the line) or for a page. Held through std::shared_ptr.
class CaptionLines : public std::enable_shared_from_this<CaptionLines> {
 public:
  using LineGuard = std::unique_lock<std::mutex>;

  // An append that makes the list this long drops its `TrimLines` oldest lines.
  static constexpr size_t MaxLines = 71;
  static constexpr size_t TrimLines = 30;

  CaptionLines(LnsCenter& bus, std::shared_ptr<SQLiteHelper> history,
               std::shared_ptr<const Clock> clock);
  CaptionLines(const CaptionLines&) = delete;
  CaptionLines& operator=(const CaptionLines&) = delete;

  // Takes `LineLock` until the returned guard goes away (it is not recursive).
  [[nodiscard]] LineGuard LineLock();

  // The current lines, oldest first; read and changed only while the guard is held.
  std::vector<CaptionLinePtr>& LineList(const LineGuard& held);

  // The first listed line with this Id, or null.
  CaptionLinePtr FindLine(const LineGuard& held, const std::string& id);

  // Posts the list as JSON under the lines-changed event, with this session's lines apart for the
  // overlay, which shows no line of an earlier session. Returns at once; the bus delivers on its
  // own thread, so no subscriber runs under the lock.
  void PublishLines(const LineGuard& held);

  // Applies one caption event: updates the open last line, or appends a new line when the list
  // is empty or its last line is finished. Trims, publishes, and queues a line that has just
  // become finished for the history. Returns the Id of the line it touched.
  std::string UpsertLine(const LineGuard& held, const std::string& text, bool finished);

  // Removes every line with this Id from the list and its row from the history; an absent or
  // empty Id clears both. Publishes the list in every case. Takes `LineLock` itself.
  void DeleteLines(const std::optional<std::string>& id);
  // Removes the lines from `first_id` to `last_id` (both included) from the list and their rows
  // from the history: a session of the transcript. Publishes the list. Takes `LineLock` itself.
  void DeleteBetween(const std::string& first_id, const std::string& last_id);

  // Asks the history for its latest lines; when they come (on the history's thread), replaces
  // the list by them and publishes it. Keeps the list when the history cannot be read. Takes
  // `LineLock` itself, after the history has been read.
  void RestoreLatestLines();

 private:
  void CheckHeld(const LineGuard& held) const;

  LnsCenter& bus_;
  const std::shared_ptr<SQLiteHelper> history_;
  std::mutex line_lock_;
  // Guarded by line_lock_.
  std::vector<CaptionLinePtr> line_list_;
  LineIdMaker ids_;
  // Taken from the Id maker at construction: every line made later has a greater Id, every line
  // restored from an earlier session a smaller one.
  const std::string session_start_;
};

}  // namespace quensary
