#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace quensary {

// What is known of a pushed caption stream's sender.
struct CaptionStreamState {
  bool owned = false;                         // some process owns the stream's bus name
  bool active = false;                        // it says its stream is on
  std::optional<Clock::TimePoint> last_text;  // when its last text arrived
};

// Of a pushed text, only this many bytes at its end are kept: enough for every line a caption
// window shows, bounded however large a text a sender pushes.
inline constexpr size_t kMaxStreamTextBytes = 64 * 1024;

// The part of a pushed text that is kept: its last kMaxStreamTextBytes bytes at most, never
// starting inside a UTF-8 sequence.
inline std::string_view StreamTextTail(std::string_view text) {
  if (text.size() <= kMaxStreamTextBytes)
    return text;
  size_t begin = text.size() - kMaxStreamTextBytes;
  while (begin < text.size() && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80)
    ++begin;
  return text.substr(begin);
}

// Texts that arrived and were not taken yet are kept up to this many, and this many bytes, the
// newest first: a reader that falls behind then sees a jump instead of memory and work growing.
inline constexpr size_t kMaxPendingStreamTexts = 64;
inline constexpr size_t kMaxPendingStreamBytes = 4 * kMaxStreamTextBytes;

// A caption source that pushes its text (a live-caption application on the session bus). Read
// from any thread.
class CaptionStream {
 public:
  virtual ~CaptionStream() = default;
  virtual CaptionStreamState State() const = 0;
  // The latest text as sent (lines broken by width, oldest first); empty while none is known.
  virtual std::string Text() const = 0;
  // Every text since the previous call, oldest first, each kept as StreamTextTail keeps it. A
  // display scrolls a line away between two texts, so a reader that merges them must see each;
  // a sender that goes away leaves an empty text (its display is gone).
  virtual std::vector<std::string> TakeTexts() = 0;
  // Runs on the main thread after each text that arrives.
  virtual void SetOnText(std::function<void()> on_text) = 0;
};

}  // namespace quensary
