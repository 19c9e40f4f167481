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

// Why a source is read; the main page words each.
enum class CaptionSourceReason {
  kStreamActive,    // automatic: the sender streams
  kStreamRecent,    // automatic: the sender sent text lately, whatever it says of its stream
  kStreamOff,       // automatic: the sender runs, its stream is off
  kNoStream,        // automatic: no sender runs
  kForced,          // forced, and the forced source can give text
  kForcedNoSender,  // the stream forced, but no sender runs
};

struct CaptionSourceChoice {
  CaptionSourceKind kind = CaptionSourceKind::kAccessibility;
  CaptionSourceReason reason = CaptionSourceReason::kNoStream;

  bool operator==(const CaptionSourceChoice&) const = default;
};

// Text this recent keeps the stream chosen even while the sender says its stream is off.
inline constexpr std::chrono::seconds kRecentStreamText{10};

CaptionSourceChoice ChooseCaptionSource(CaptionSourceMode mode, const CaptionStreamState& stream,
                                        Clock::TimePoint now);

// Wire words for the page.
std::string_view CaptionSourceKindWord(CaptionSourceKind kind);
std::string_view CaptionSourceReasonWord(CaptionSourceReason reason);

}  // namespace quensary
