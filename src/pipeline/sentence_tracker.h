#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "capture/caption_separator.h"
#include "platform/clock.h"

namespace quensary {

// One change seen by the poll: a caption text and whether it is complete.
struct CaptionEvent {
  std::string text;
  bool finished = false;

  bool operator==(const CaptionEvent&) const = default;
};

// Turns the caption provider's rows, read once per tick, into at most one caption event per
// tick. The provider shows a stack of rows with the newest at the bottom and rewrites the bottom
// row while speech goes on: a row is complete when a new row pushes it up, or when the bottom row
// has stayed unchanged for more than `StableTimeout`. Used by the caption worker thread alone.
class SentenceTracker {
 public:
  // Gives the provider's rows joined by `CaptionSeparator`; empty when nothing can be read.
  using CaptionTextSource = std::function<std::string()>;

  // An unchanged bottom row is complete once strictly more than this has passed.
  static constexpr std::chrono::milliseconds StableTimeout{3000};

  SentenceTracker(CaptionTextSource source, std::shared_ptr<const Clock> clock);

  // Reads the rows once and reports what changed, if anything.
  std::optional<CaptionEvent> PollCaption();

 private:
  CaptionTextSource source_;
  std::shared_ptr<const Clock> clock_;

  // The second-to-last row that was last reported finished.
  std::string LastSecondToLast;
  // The bottom row as last reported.
  std::string LastText;
  // The bottom row that was reported finished because it stayed unchanged.
  std::string TimedOutText;
  // When the current bottom row was first seen unchanged.
  std::optional<Clock::TimePoint> StableSince;
};

}  // namespace quensary
