#include "platform/glib/live_captions_stream.h"

#include <deque>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/session_bus.h"

namespace quensary {

struct LiveCaptionsStream::Shared {
  std::shared_ptr<const Clock> clock;
  BusNames names;

  mutable std::mutex mutex;
  CaptionStreamState state;         // guarded by mutex
  std::string text;                 // guarded by mutex
  std::deque<std::string> pending;  // guarded by mutex: not taken yet, oldest first
  size_t pending_bytes = 0;         // guarded by mutex
  std::function<void()> on_text;    // main thread
  bool ended = false;               // main thread: the stream is gone, calls under way drop out
};

namespace {

using Shared = LiveCaptionsStream::Shared;

// With the mutex held.
void AddPending(Shared& shared, std::string text) {
  shared.pending_bytes += text.size();
  shared.pending.push_back(std::move(text));
  while (shared.pending.size() > kMaxPendingStreamTexts ||
         (shared.pending.size() > 1 && shared.pending_bytes > kMaxPendingStreamBytes)) {
    shared.pending_bytes -= shared.pending.front().size();
    shared.pending.pop_front();
  }
}

// A box for GLib's user data: each holder keeps the shared state alive.
gpointer Box(const std::shared_ptr<Shared>& shared) {
  return new std::shared_ptr<Shared>(shared);
}
Shared& Unbox(gpointer data) {
  return **static_cast<std::shared_ptr<Shared>*>(data);
}
void FreeBox(gpointer data) {
  delete static_cast<std::shared_ptr<Shared>*>(data);
}

constexpr unsigned kActiveRefreshSeconds = 5;

void OnActiveRead(GObject* connection, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<std::shared_ptr<Shared>> box(static_cast<std::shared_ptr<Shared>*>(data));
  Shared& shared = **box;
  GError* raw_error = nullptr;
  const GVariantPtr reply(
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, &raw_error));
  const GErrorPtr error(raw_error);
  if (shared.ended)
    return;
  // A wrong type, or no answer, counts as off.
  bool active = false;
  if (reply && g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(v)"))) {
    GVariantPtr value;
    {
      GVariant* inner = nullptr;
      g_variant_get(reply.get(), "(v)", &inner);
      value.reset(inner);
    }
    active = g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN) &&
             g_variant_get_boolean(value.get());
  }
  std::lock_guard lock(shared.mutex);
  if (shared.state.owned)
    shared.state.active = active;
}

void ReadActive(GDBusConnection* connection, const std::shared_ptr<Shared>& shared) {
  const LiveCaptionsStream::BusNames& names = shared->names;
  g_dbus_connection_call(
      connection, names.bus_name.c_str(), names.object_path.c_str(),
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", names.interface_name.c_str(), names.active_property.c_str()),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, OnActiveRead,
      Box(shared));
}

void OnAppeared(GDBusConnection* connection, const gchar*, const gchar*, gpointer data) {
  Shared& shared = Unbox(data);
  {
    std::lock_guard lock(shared.mutex);
    shared.state.owned = true;
  }
  ReadActive(connection, *static_cast<std::shared_ptr<Shared>*>(data));
}

void OnVanished(GDBusConnection*, const gchar*, gpointer data) {
  Shared& shared = Unbox(data);
  // Whatever the sender had shown goes with it. An empty text tells the reader that its display
  // is gone: the sentence it left open ends there, and a sender that comes back starts anew.
  std::lock_guard lock(shared.mutex);
  shared.state = {};
  shared.text.clear();
  AddPending(shared, {});
}

void OnText(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
            GVariant* parameters, gpointer data) {
  Shared& shared = Unbox(data);
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)")))
    return;
  const gchar* text = nullptr;
  g_variant_get(parameters, "(&s)", &text);
  {
    std::lock_guard lock(shared.mutex);
    // Only a name with an owner sends: a signal that raced the owner's exit is dropped.
    if (!shared.state.owned)
      return;
    shared.text.assign(StreamTextTail(text));
    AddPending(shared, shared.text);
    shared.state.last_text = shared.clock->Now();
  }
  if (shared.on_text)
    shared.on_text();
}

}  // namespace

LiveCaptionsStream::LiveCaptionsStream(GDBusConnection* connection, BusNames bus_names,
                                       std::shared_ptr<const Clock> clock)
    : shared_(std::make_shared<Shared>()) {
  shared_->clock = std::move(clock);
  shared_->names = std::move(bus_names);
  connection_ = GivenOrSessionBus(connection);
  if (!connection_)
    return;
  GDBusConnection* bus = connection_.get();
  const BusNames& names = shared_->names;
  subscription_ = g_dbus_connection_signal_subscribe(
      bus, names.bus_name.c_str(), names.interface_name.c_str(), names.text_signal.c_str(),
      names.object_path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnText, Box(shared_), FreeBox);
  watch_ =
      g_bus_watch_name_on_connection(bus, names.bus_name.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE,
                                     OnAppeared, OnVanished, Box(shared_), FreeBox);
  // A sender may switch its stream on or off without saying so: ask again now and then.
  struct Refresh {
    std::shared_ptr<Shared> shared;
    GObjectRef<GDBusConnection> connection;
  };
  refresh_ = g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, kActiveRefreshSeconds,
      [](gpointer data) -> gboolean {
        auto& refresh = *static_cast<Refresh*>(data);
        bool owned;
        {
          std::lock_guard lock(refresh.shared->mutex);
          owned = refresh.shared->state.owned;
        }
        if (owned)
          ReadActive(refresh.connection.get(), refresh.shared);
        return G_SOURCE_CONTINUE;
      },
      new Refresh{shared_, connection_}, [](gpointer data) { delete static_cast<Refresh*>(data); });
}

LiveCaptionsStream::~LiveCaptionsStream() {
  shared_->ended = true;
  if (refresh_)
    g_source_remove(refresh_);
  if (watch_)
    g_bus_unwatch_name(watch_);
  if (subscription_)
    g_dbus_connection_signal_unsubscribe(connection_.get(), subscription_);
}

void LiveCaptionsStream::SetOnText(std::function<void()> on_text) {
  shared_->on_text = std::move(on_text);
}

CaptionStreamState LiveCaptionsStream::State() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->state;
}

std::string LiveCaptionsStream::Text() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->text;
}

std::vector<std::string> LiveCaptionsStream::TakeTexts() {
  std::lock_guard lock(shared_->mutex);
  std::vector<std::string> texts(std::make_move_iterator(shared_->pending.begin()),
                                 std::make_move_iterator(shared_->pending.end()));
  shared_->pending.clear();
  shared_->pending_bytes = 0;
  return texts;
}

}  // namespace quensary
