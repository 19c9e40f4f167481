#include "platform/atspi/atspi_session.h"

#include <cstdlib>
#include <filesystem>

namespace quensary {
namespace {

// The session bus is only asked when one is known to exist: GLib would otherwise try to
// autolaunch one.
bool SessionBusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address)
    return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ignored;
  return runtime && *runtime && std::filesystem::exists(std::string(runtime) + "/bus", ignored);
}

std::optional<std::string> SessionBusAnswer() {
  if (!SessionBusKnown())
    return std::nullopt;
  GError* raw_error = nullptr;
  const auto session =
      GObjectRef<GDBusConnection>::Adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw_error));
  GErrorPtr error(raw_error);
  if (!session)
    return std::nullopt;
  raw_error = nullptr;
  const GVariantPtr reply(g_dbus_connection_call_sync(
      session.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
      G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
      static_cast<int>(AtspiSession::kCallTimeout.count()), nullptr, &raw_error));
  error.reset(raw_error);
  if (!reply)
    return std::nullopt;
  const gchar* address = nullptr;
  g_variant_get(reply.get(), "(&s)", &address);
  if (!address || !*address)
    return std::nullopt;
  return std::string(address);
}

std::optional<std::string> BusAddress(const std::shared_ptr<X11Desktop>& x11) {
  const char* address = std::getenv("AT_SPI_BUS_ADDRESS");
  if (address && *address)
    return std::string(address);
  if (x11) {
    if (auto announced = x11->AccessibilityBusAddress())
      return announced;
  }
  return SessionBusAnswer();
}

}  // namespace

std::shared_ptr<AtspiSession> AtspiSession::Open(std::shared_ptr<X11Desktop> x11) {
  const auto address = BusAddress(x11);
  if (!address)
    return nullptr;
  GError* raw_error = nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address->c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &raw_error);
  GErrorPtr error(raw_error);
  if (!connection)
    return nullptr;
  // The connection is ours alone; a bus that goes away must not end the process.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return std::shared_ptr<AtspiSession>(new AtspiSession(connection, std::move(x11)));
}

AtspiSession::AtspiSession(GDBusConnection* connection, std::shared_ptr<X11Desktop> x11)
    : connection_(GObjectRef<GDBusConnection>::Adopt(connection)), x11_(std::move(x11)) {}

bool AtspiSession::Silenced(const std::string& bus_name, GVariant* parameters) const {
  std::lock_guard lock(silence_mutex_);
  const auto it = silent_until_.find(bus_name);
  if (it == silent_until_.end())
    return false;
  if (std::chrono::steady_clock::now() >= it->second) {
    silent_until_.erase(it);
    return false;
  }
  // The parameters are a floating reference that the call would have consumed.
  GVariantPtr consumed(parameters ? g_variant_ref_sink(parameters) : nullptr);
  return true;
}

void AtspiSession::NoteFailure(const std::string& bus_name, const GError* error,
                               bool* timed_out) const {
  if (!error || !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
    return;
  if (timed_out)
    *timed_out = true;
  std::lock_guard lock(silence_mutex_);
  silent_until_[bus_name] = std::chrono::steady_clock::now() + kSilenceAfterTimeout;
}

GVariantPtr AtspiSession::Call(const std::string& bus_name, const std::string& path,
                               const char* interface, const char* method, GVariant* parameters,
                               const char* reply_type, bool* timed_out) const {
  // A batch of one rather than g_dbus_connection_call_sync, which makes (and then frees, with
  // its wake-up file descriptor) a main context for every call.
  std::vector<Reply> replies =
      CallAll({Request{&bus_name, &path, interface, method, parameters, reply_type}});
  if (timed_out)
    *timed_out = replies.front().timed_out;
  return std::move(replies.front().value);
}

std::vector<AtspiSession::Reply> AtspiSession::CallAll(const std::vector<Request>& requests) const {
  std::vector<Reply> replies(requests.size());
  struct Pending {
    const AtspiSession* session;
    const std::string* bus_name;
    Reply* reply;
    size_t* remaining;
  };
  std::vector<Pending> pending(requests.size());
  size_t remaining = 0;
  // The answers are dispatched on a context of the calling thread's own, so its other sources
  // (the main loop, when called there) never run in between. It is made once per thread: one per
  // call would open and close a wake-up file descriptor each time, and the reads of a speaking
  // provider make many calls a second. Every call of a batch has completed when CallAll
  // returns, so nothing of it is left on the context for the next batch.
  thread_local const GMainContextPtr context(g_main_context_new());
  g_main_context_push_thread_default(context.get());
  for (size_t i = 0; i < requests.size(); ++i) {
    const Request& request = requests[i];
    if (Silenced(*request.bus_name, request.parameters)) {
      replies[i].timed_out = true;
      continue;
    }
    pending[i] = {this, request.bus_name, &replies[i], &remaining};
    ++remaining;
    g_dbus_connection_call(
        connection_.get(), request.bus_name->c_str(), request.path->c_str(), request.interface,
        request.method, request.parameters,
        request.reply_type ? G_VARIANT_TYPE(request.reply_type) : nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, static_cast<int>(kCallTimeout.count()), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* call = static_cast<Pending*>(data);
          GError* raw_error = nullptr;
          GVariant* value =
              g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw_error);
          GErrorPtr error(raw_error);
          if (value) {
            call->reply->value.reset(value);
          } else {
            call->reply->answered_with_error = g_dbus_error_is_remote_error(error.get());
            call->session->NoteFailure(*call->bus_name, error.get(), &call->reply->timed_out);
          }
          --*call->remaining;
        },
        &pending[i]);
  }
  // Every call completes, at the latest with its time-out.
  while (remaining > 0)
    g_main_context_iteration(context.get(), TRUE);
  g_main_context_pop_thread_default(context.get());
  return replies;
}

std::optional<int32_t> AtspiSession::PidOf(const std::string& bus_name) {
  {
    std::lock_guard lock(pid_mutex_);
    if (const auto it = pids_.find(bus_name); it != pids_.end())
      return it->second;
  }
  const GVariantPtr reply =
      Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
           "GetConnectionUnixProcessID", g_variant_new("(s)", bus_name.c_str()), "(u)");
  if (!reply)
    return std::nullopt;
  guint32 pid = 0;
  g_variant_get(reply.get(), "(u)", &pid);
  std::lock_guard lock(pid_mutex_);
  pids_[bus_name] = static_cast<int32_t>(pid);
  return static_cast<int32_t>(pid);
}

bool AtspiSession::IsClosed() const {
  return g_dbus_connection_is_closed(connection_.get());
}

}  // namespace quensary
