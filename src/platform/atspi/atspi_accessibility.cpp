#include "platform/atspi/atspi_accessibility.h"

#include <unistd.h>

#include <cstring>

#include "platform/atspi/atspi_element.h"

namespace quensary {
namespace {

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kRegistryPath = "/org/a11y/atspi/registry";
constexpr const char* kRegistryInterface = "org.a11y.atspi.Registry";
constexpr const char* kObjectEvents = "org.a11y.atspi.Event.Object";

}  // namespace

struct AtspiAccessibility::Notices {
  std::mutex mutex;
  std::function<void()> changed;  // guarded by mutex
};

namespace {

using Notices = AtspiAccessibility::Notices;

// Main thread. Other object events of the application (states, bounds, ...) come too when some
// other reader of the desktop asked for them; they are not caption changes.
void OnObjectEvent(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* member,
                   GVariant* parameters, gpointer data) {
  Notices& notices = **static_cast<std::shared_ptr<Notices>*>(data);
  if (std::strcmp(member, "PropertyChange") == 0) {
    // The property's name comes first.
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE_TUPLE) ||
        g_variant_n_children(parameters) == 0)
      return;
    const GVariantPtr kind(g_variant_get_child_value(parameters, 0));
    if (!g_variant_is_of_type(kind.get(), G_VARIANT_TYPE_STRING) ||
        std::strcmp(g_variant_get_string(kind.get(), nullptr), "accessible-name") != 0)
      return;
  } else if (std::strcmp(member, "TextChanged") != 0 &&
             std::strcmp(member, "ChildrenChanged") != 0) {
    return;
  }
  std::function<void()> changed;
  {
    std::lock_guard lock(notices.mutex);
    changed = notices.changed;
  }
  if (changed)
    changed();
}

}  // namespace

AtspiAccessibility::AtspiAccessibility() : notices_(std::make_shared<Notices>()) {}

AtspiAccessibility::~AtspiAccessibility() {
  std::lock_guard lock(watch_mutex_);
  EndWatchLocked();
}

void AtspiAccessibility::SetOnChange(std::function<void()> changed) {
  std::lock_guard lock(notices_->mutex);
  notices_->changed = std::move(changed);
}

void AtspiAccessibility::WatchChanges(const AccessibleElement* element) {
  const auto* atspi = dynamic_cast<const AtspiElement*>(element);
  std::lock_guard lock(watch_mutex_);
  if (atspi && atspi->session() == watched_session_ && atspi->bus_name() == watched_bus_name_)
    return;
  EndWatchLocked();
  if (!atspi || !atspi->session() || atspi->session()->IsClosed())
    return;
  // NOTE: an application whose toolkit bridge is still starting when the registration comes
  // may never send the events (at-spi2-core 2.46 drops its listeners then). So an application
  // is watched once it has been asked for over kSettleTime.
  const auto now = std::chrono::steady_clock::now();
  if (atspi->bus_name() != candidate_bus_name_) {
    candidate_bus_name_ = atspi->bus_name();
    candidate_since_ = now;
  }
  if (now - candidate_since_ < kSettleTime)
    return;
  const std::shared_ptr<AtspiSession>& session = atspi->session();
  const std::string& bus_name = atspi->bus_name();
  for (const char* event : kChangeEvents) {
    // Named for the application, where the registry takes a name (2.46 does); an older one
    // takes the event alone.
    if (!session->Call(
            kRegistry, kRegistryPath, kRegistryInterface, "RegisterEvent",
            g_variant_new("(s@ass)", event, g_variant_new_strv(nullptr, 0), bus_name.c_str()),
            nullptr)) {
      session->Call(kRegistry, kRegistryPath, kRegistryInterface, "RegisterEvent",
                    g_variant_new("(s)", event), nullptr);
    }
  }
  // Subscribed from the worker thread, which has no main context of its own: GLib then delivers
  // on the global default context, the main loop's.
  subscription_ = g_dbus_connection_signal_subscribe(
      session->connection(), bus_name.c_str(), kObjectEvents, nullptr, nullptr, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, OnObjectEvent, new std::shared_ptr<Notices>(notices_),
      [](gpointer data) { delete static_cast<std::shared_ptr<Notices>*>(data); });
  watched_session_ = session;
  watched_bus_name_ = bus_name;
}

void AtspiAccessibility::EndWatchLocked() {
  if (!watched_session_)
    return;
  if (subscription_)
    g_dbus_connection_signal_unsubscribe(watched_session_->connection(), subscription_);
  if (!watched_session_->IsClosed()) {
    for (const char* event : kChangeEvents) {
      watched_session_->Call(kRegistry, kRegistryPath, kRegistryInterface, "DeregisterEvent",
                             g_variant_new("(s)", event), nullptr);
    }
  }
  subscription_ = 0;
  watched_session_.reset();
  watched_bus_name_.clear();
}

std::shared_ptr<AtspiSession> AtspiAccessibility::SessionLocked() {
  if (!x11_ || !x11_->Usable())
    x11_ = X11Desktop::Connect();
  if (!session_ || session_->IsClosed())
    session_ = AtspiSession::Open(x11_);
  return session_;
}

bool AtspiAccessibility::Reachable() {
  std::lock_guard lock(mutex_);
  const auto session = SessionLocked();
  return session && session->Call(kRegistry, kRootPath, "org.a11y.atspi.Accessible", "GetRole",
                                  nullptr, "(u)") != nullptr;
}

std::vector<RunningApplication> AtspiAccessibility::RunningApplications() {
  std::shared_ptr<AtspiSession> session;
  std::shared_ptr<X11Desktop> x11;
  {
    std::lock_guard lock(mutex_);
    session = SessionLocked();
    x11 = x11_;
  }
  if (!session)
    return {};
  const GVariantPtr reply = session->Call(kRegistry, kRootPath, "org.a11y.atspi.Accessible",
                                          "GetChildren", nullptr, "(a(so))");
  if (!reply)
    return {};
  const auto policies =
      x11 ? x11->PoliciesByPid() : std::unordered_map<int32_t, ActivationPolicy>{};
  const int32_t own_pid = static_cast<int32_t>(getpid());
  std::vector<Listed> listed;
  std::vector<RunningApplication> applications;
  GVariantPtr references(g_variant_get_child_value(reply.get(), 0));
  GVariantIter iter;
  g_variant_iter_init(&iter, references.get());
  const gchar* bus_name = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(&iter, "(&s&o)", &bus_name, &path)) {
    const auto pid = session->PidOf(bus_name);
    if (!pid || *pid == own_pid)
      continue;
    // With an X server to ask, a process without any top-level window has no taskbar entry and
    // no window to show captions in: it counts as prohibited and is never examined. Without one
    // the policy cannot be told, and the caption window identifier alone decides.
    ActivationPolicy policy = ActivationPolicy::kUnknown;
    if (x11) {
      const auto known = policies.find(*pid);
      policy = known == policies.end() ? ActivationPolicy::kProhibited : known->second;
    }
    applications.push_back({*pid, policy});
    listed.push_back({*pid, bus_name});
  }
  std::lock_guard lock(mutex_);
  listed_ = std::move(listed);
  return applications;
}

AccessibleElementPtr AtspiAccessibility::ApplicationElement(int32_t pid) {
  std::lock_guard lock(mutex_);
  if (!session_)
    return nullptr;
  for (const Listed& app : listed_) {
    if (app.pid == pid)
      return std::make_shared<AtspiElement>(session_, app.bus_name, kRootPath);
  }
  return nullptr;
}

bool AtspiAccessibility::KeepsWindowsOnScreen() const {
  std::lock_guard lock(mutex_);
  if (!x11_ || !x11_->Usable())
    x11_ = X11Desktop::Connect();
  return x11_ && x11_->HasWindowManager();
}

}  // namespace quensary
