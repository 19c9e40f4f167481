#include "pipeline/caption_lines.h"

#include <algorithm>
#include <cassert>

#include "bus/bus_events.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

CaptionLines::CaptionLines(LnsCenter& bus, std::shared_ptr<SQLiteHelper> history,
                           std::shared_ptr<const Clock> clock)
    : bus_(bus),
      history_(std::move(history)),
      ids_(std::move(clock)),
      session_start_(ids_.Next()) {}

CaptionLines::LineGuard CaptionLines::LineLock() {
  return LineGuard(line_lock_);
}

void CaptionLines::CheckHeld([[maybe_unused]] const LineGuard& held) const {
  assert(held.owns_lock() && held.mutex() == &line_lock_);
}

std::vector<CaptionLinePtr>& CaptionLines::LineList(const LineGuard& held) {
  CheckHeld(held);
  return line_list_;
}

CaptionLinePtr CaptionLines::FindLine(const LineGuard& held, const std::string& id) {
  CheckHeld(held);
  const auto it = std::find_if(line_list_.begin(), line_list_.end(),
                               [&](const CaptionLinePtr& line) { return line->Id == id; });
  return it == line_list_.end() ? nullptr : *it;
}

void CaptionLines::PublishLines(const LineGuard& held) {
  CheckHeld(held);
  LinesChanged event{CaptionLinesJson(line_list_), std::nullopt};
  // Restored lines are older than any of this session's, so this session's are the list's tail.
  const auto older = std::find_if(line_list_.rbegin(), line_list_.rend(),
                                  [&](const auto& line) { return line->Id <= session_start_; });
  if (older != line_list_.rend())
    event.session_json =
        CaptionLinesJson(std::span<const CaptionLinePtr>(older.base(), line_list_.end()));
  Publish(bus_, std::move(event));
}

std::string CaptionLines::UpsertLine(const LineGuard& held, const std::string& text,
                                     bool finished) {
  CheckHeld(held);
  std::string id;
  if (!line_list_.empty() && !line_list_.back()->Finish) {
    CaptionLine& open = *line_list_.back();
    open.Ori = text;
    open.Finish = finished;
    id = open.Id;
  } else {
    id = ids_.Next();
    line_list_.push_back(std::make_shared<CaptionLine>(id, text, finished, std::string()));
  }
  // The touched line is always the last one, so trimming the oldest never removes it.
  if (line_list_.size() >= MaxLines)
    line_list_.erase(line_list_.begin(), line_list_.begin() + TrimLines);
  PublishLines(held);
  // A finished line is never touched again by this path, so it is stored exactly once.
  if (finished)
    history_->SaveLine(*line_list_.back());
  return id;
}

void CaptionLines::DeleteLines(const std::optional<std::string>& id) {
  LineGuard held = LineLock();
  if (id && !id->empty()) {
    std::erase_if(line_list_, [&](const CaptionLinePtr& line) { return line->Id == *id; });
    history_->DeleteLine(*id);
  } else {
    line_list_.clear();
    history_->DeleteAll();
  }
  PublishLines(held);
}

void CaptionLines::DeleteBetween(const std::string& first_id, const std::string& last_id) {
  LineGuard held = LineLock();
  std::erase_if(line_list_, [&](const CaptionLinePtr& line) {
    return line->Id >= first_id && line->Id <= last_id;
  });
  history_->DeleteBetween(first_id, last_id);
  PublishLines(held);
}

void CaptionLines::RestoreLatestLines() {
  history_->LatestLines([weak = weak_from_this()](auto latest) {
    const auto lines = weak.lock();
    if (!lines || !latest)
      return;
    LineGuard held = lines->LineLock();
    lines->line_list_ = std::move(*latest);
    lines->PublishLines(held);
  });
}

}  // namespace quensary
