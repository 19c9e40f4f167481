#include "capture/caption_source_choice.h"

namespace quensary {

CaptionSourceChoice ChooseCaptionSource(CaptionSourceMode mode, const CaptionStreamState& stream,
                                        bool window_found, Clock::TimePoint now) {
  using Kind = CaptionSourceKind;
  using Reason = CaptionSourceReason;
  switch (mode) {
    case CaptionSourceMode::kAccessibility:
      return {Kind::kAccessibility, window_found ? Reason::kForced : Reason::kForcedNoWindow};
    case CaptionSourceMode::kStream:
      return {Kind::kStream, stream.owned ? Reason::kForced : Reason::kForcedNoSender};
    case CaptionSourceMode::kAutomatic:
      break;
  }
  if (!stream.owned)
    return {Kind::kAccessibility, window_found ? Reason::kNoStream : Reason::kNoSource};
  if (stream.active)
    return {Kind::kStream, Reason::kStreamActive};
  if (stream.last_text && now - *stream.last_text <= kRecentStreamText)
    return {Kind::kStream, Reason::kStreamRecent};
  return {Kind::kAccessibility, window_found ? Reason::kStreamOff : Reason::kStreamOffNoWindow};
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
    case CaptionSourceReason::kStreamOffNoWindow:
      return "stream-off-no-window";
    case CaptionSourceReason::kNoStream:
      return "no-stream";
    case CaptionSourceReason::kNoSource:
      return "no-source";
    case CaptionSourceReason::kForced:
      return "forced";
    case CaptionSourceReason::kForcedNoSender:
      return "forced-no-sender";
    case CaptionSourceReason::kForcedNoWindow:
      return "forced-no-window";
  }
  return "no-stream";
}

}  // namespace quensary
