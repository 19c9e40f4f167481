#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/caption_stream.h"
#include "platform/clock.h"
#include "platform/glib/gobject_ref.h"

namespace quensary {

// The caption text a live-caption application (LiveCaptions) pushes on the session bus while its
// text stream option is on: a signal with the lines it shows. Follows the bus name's owner, so
// the sender starting, stopping and coming back is noticed; asks whether the stream is on when
// an owner appears and every few seconds while it stays. Keeps the latest text and the texts not
// taken yet, each by its tail and all within a bound, whatever a sender pushes. Made and ended on
// the main thread; its signals arrive there.
class LiveCaptionsStream final : public CaptionStream {
 public:
  // Where the sender is found on the bus; the caller knows the names.
  struct BusNames {
    std::string bus_name;
    std::string object_path;
    std::string interface_name;
    std::string text_signal;      // carries the text
    std::string active_property;  // whether the stream is on
  };

  // Watches on `connection`, or on the session bus when it is null (nothing arrives without one).
  LiveCaptionsStream(GDBusConnection* connection, BusNames names,
                     std::shared_ptr<const Clock> clock);
  ~LiveCaptionsStream() override;
  LiveCaptionsStream(const LiveCaptionsStream&) = delete;
  LiveCaptionsStream& operator=(const LiveCaptionsStream&) = delete;

  void SetOnText(std::function<void()> on_text) override;

  CaptionStreamState State() const override;
  std::string Text() const override;
  std::vector<std::string> TakeTexts() override;

  // What the bus callbacks share: it outlives the stream while a call is under way.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  GObjectRef<GDBusConnection> connection_;
  unsigned watch_ = 0;
  unsigned subscription_ = 0;
  unsigned refresh_ = 0;
};

}  // namespace quensary
