#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "platform/caption_stream.h"
#include "platform/clock.h"
#include "protocol/page_words.h"

namespace quensary {

// Where captions are read from: the caption window, through the accessibility interface, or
// the text stream a live-caption application pushes on the session bus.
enum class CaptionSourceKind { kAccessibility, kStream };

// Why a source is read; the main page words each. The caption window only matters where it is
// the source read: without one, no caption can arrive.
enum class CaptionSourceReason {
  kStreamActive,       // automatic: the sender streams
  kStreamRecent,       // automatic: the sender sent text lately, whatever it says of its stream
  kStreamOff,          // automatic: the sender runs, its stream is off
  kStreamOffNoWindow,  // as kStreamOff, and no caption window is found either
  kNoStream,           // automatic: no sender runs
  kNoSource,           // automatic: no sender runs and no caption window is found
  kForced,             // forced, and the forced source can give text
  kForcedNoSender,     // the stream forced, but no sender runs
  kForcedNoWindow,     // the caption window forced, but none is found
};

struct CaptionSourceChoice {
  CaptionSourceKind kind = CaptionSourceKind::kAccessibility;
  CaptionSourceReason reason = CaptionSourceReason::kNoStream;

  bool operator==(const CaptionSourceChoice&) const = default;
};

// Text this recent keeps the stream chosen even while the sender says its stream is off.
inline constexpr std::chrono::seconds kRecentStreamText{10};

// A caption window missed by the reads for this long counts as not found; shorter gaps are a
// provider that was slow to answer (one left unanswered is not asked again for a second).
inline constexpr std::chrono::seconds kMissingWindowGrace{3};

// `window_found`: whether the caption window is there, as far as the reads know.
CaptionSourceChoice ChooseCaptionSource(CaptionSourceMode mode, const CaptionStreamState& stream,
                                        bool window_found, Clock::TimePoint now);

// Wire words for the page.
std::string_view CaptionSourceKindWord(CaptionSourceKind kind);
std::string_view CaptionSourceReasonWord(CaptionSourceReason reason);

}  // namespace quensary
