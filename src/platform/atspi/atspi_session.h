#pragma once

#include <gio/gio.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "platform/x11/x11_desktop.h"

namespace quensary {

// A private D-Bus connection to the accessibility bus, speaking the AT-SPI protocol directly.
//
// NOTE: libatspi is not used on purpose. It shares one connection with the GTK accessibility
// bridge of this very process and dispatches that connection on the main context, so calling it
// from the caption worker would race with the main thread; it also ends the process when no
// accessibility bus exists. A GDBus connection of our own is thread-safe and every call carries
// its own time-out.
class AtspiSession {
 public:
  // A call that gets no answer within this time fails, so a frozen application costs one poll
  // a fraction of a second instead of blocking it.
  static constexpr std::chrono::milliseconds kCallTimeout{300};

  // Finds the accessibility bus (AT_SPI_BUS_ADDRESS, the AT_SPI_BUS property of the X11 root
  // window, then org.a11y.Bus on the session bus) and connects; null when none is reachable.
  static std::shared_ptr<AtspiSession> Open(std::shared_ptr<X11Desktop> x11);

  // One method call; null on any failure. timed_out, when given, tells whether it failed for
  // want of an answer.
  GVariantPtr Call(const std::string& bus_name, const std::string& path, const char* interface,
                   const char* method, GVariant* parameters, const char* reply_type,
                   bool* timed_out = nullptr) const;

  // One call of a batch. The parameters are a floating reference, consumed by CallAll.
  struct Request {
    const std::string* bus_name;
    const std::string* path;
    const char* interface;
    const char* method;
    GVariant* parameters;
    const char* reply_type;
  };
  struct Reply {
    GVariantPtr value;  // null on any failure
    bool timed_out = false;
    // The application answered, with an error (it lacks the interface, say). A reply that is
    // neither a value nor this went unanswered.
    bool answered_with_error = false;
    bool Unanswered() const { return !value && !answered_with_error; }
  };

  // Sends every call at once and waits for all the answers: one round trip instead of one per
  // call. Each call has its own time-out, as with Call. May be called from any thread.
  std::vector<Reply> CallAll(const std::vector<Request>& requests) const;

  // After a call to an application goes unanswered, further calls to it fail at once for this
  // long, so a frozen application costs one time-out per second instead of one per read.
  static constexpr std::chrono::milliseconds kSilenceAfterTimeout{1000};

  // The process behind a bus name, cached: unique names are never reused on a bus.
  std::optional<int32_t> PidOf(const std::string& bus_name);

  bool IsClosed() const;
  GDBusConnection* connection() const { return connection_.get(); }
  const std::shared_ptr<X11Desktop>& x11() const { return x11_; }

 private:
  AtspiSession(GDBusConnection* connection, std::shared_ptr<X11Desktop> x11);
  // Whether the application is left alone after a time-out; consumes parameters when it is.
  bool Silenced(const std::string& bus_name, GVariant* parameters) const;
  void NoteFailure(const std::string& bus_name, const GError* error, bool* timed_out) const;

  GObjectRef<GDBusConnection> connection_;
  std::shared_ptr<X11Desktop> x11_;
  std::mutex pid_mutex_;
  std::unordered_map<std::string, int32_t> pids_;
  mutable std::mutex silence_mutex_;
  // Bus names that timed out, with the time until which they are not asked again.
  mutable std::unordered_map<std::string, std::chrono::steady_clock::time_point> silent_until_;
};

}  // namespace quensary
