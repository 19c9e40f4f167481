#include "pipeline/sentence_tracker.h"

#include <vector>

#include "platform/diagnostics.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

std::vector<std::string> SplitRows(const std::string& text) {
  std::vector<std::string> rows;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(CaptionSeparator, start);
    if (end == std::string::npos)
      end = text.size();
    if (end > start)
      rows.push_back(text.substr(start, end - start));
    start = end + CaptionSeparator.size();
  }
  return rows;
}

}  // namespace

SentenceTracker::SentenceTracker(CaptionTextSource source, std::shared_ptr<const Clock> clock)
    : source_(std::move(source)), clock_(std::move(clock)) {}

std::optional<CaptionEvent> SentenceTracker::PollCaption() {
  const std::vector<std::string> rows = SplitRows(source_ ? source_() : std::string());
  // An empty read (no provider, no caption window) leaves every state item as it was.
  if (rows.empty())
    return std::nullopt;
  const size_t n = rows.size();

  if (n >= 2 && rows[n - 2] != LastSecondToLast) {
    const bool already_reported = rows[n - 2] == TimedOutText;
    LastSecondToLast = rows[n - 2];
    LastText.clear();
    if (!already_reported) {
      WriteDiagnostic(RevealText(Sealed::FinishedRowPrefix) + " " + rows[n - 2]);
      return CaptionEvent{rows[n - 2], true};
    }
    // The pushed-up row was already reported finished by the time rule; reporting it again
    // would show, translate and store the same sentence twice. Go on to the new bottom row.
  }

  const std::string& last = rows[n - 1];
  if (last != LastText) {
    StableSince.reset();
    TimedOutText.clear();
    LastText = last;
    return CaptionEvent{last, false};
  }
  if (last == TimedOutText)
    return std::nullopt;
  const Clock::TimePoint now = clock_->Now();
  if (!StableSince) {
    StableSince = now;
    return std::nullopt;
  }
  if (now - *StableSince > StableTimeout) {
    TimedOutText = LastText;
    return CaptionEvent{last, true};
  }
  return std::nullopt;
}

}  // namespace quensary
