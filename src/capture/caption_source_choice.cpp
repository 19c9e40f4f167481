#include "capture/caption_source_choice.h"

namespace quensary {

CaptionSourceChoice ChooseCaptionSource(CaptionSourceMode mode, const CaptionStreamState& stream,
                                        Clock::TimePoint now) {
  using Kind = CaptionSourceKind;
  using Reason = CaptionSourceReason;
  switch (mode) {
    case CaptionSourceMode::kAccessibility:
      return {Kind::kAccessibility, Reason::kForced};
    case CaptionSourceMode::kStream:
      return {Kind::kStream, stream.owned ? Reason::kForced : Reason::kForcedNoSender};
    case CaptionSourceMode::kAutomatic:
      break;
  }
  if (!stream.owned)
    return {Kind::kAccessibility, Reason::kNoStream};
  if (stream.active)
    return {Kind::kStream, Reason::kStreamActive};
  if (stream.last_text && now - *stream.last_text <= kRecentStreamText)
    return {Kind::kStream, Reason::kStreamRecent};
  return {Kind::kAccessibility, Reason::kStreamOff};
}

std::string_view CaptionSourceKindWord(CaptionSourceKind kind) {
  return kind == CaptionSourceKind::kStream ? "stream" : "accessibility";
}

std::string_view CaptionSourceReasonWord(CaptionSourceReason reason) {
  switch (reason) {
    case CaptionSourceReason::kStreamActive:
      return "stream-active";
    case CaptionSourceReason::kStreamRecent:
      return "stream-recent";
    case CaptionSourceReason::kStreamOff:
      return "stream-off";
    case CaptionSourceReason::kNoStream:
      return "no-stream";
    case CaptionSourceReason::kForced:
      return "forced";
    case CaptionSourceReason::kForcedNoSender:
      return "forced-no-sender";
  }
  return "no-stream";
}

}  // namespace quensary
