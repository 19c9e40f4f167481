#include "platform/glib/portal_color_scheme.h"

#include <cstring>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/session_bus.h"

namespace quensary {

struct PortalColorScheme::Shared {
  Listener changed;
  bool heard_change = false;  // a change that came first makes the first answer stale
  bool ended = false;         // the watcher is gone: a read under way drops out
};

namespace {

using Shared = PortalColorScheme::Shared;

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kSettingsInterface[] = "org.freedesktop.portal.Settings";
constexpr char kAppearance[] = "org.freedesktop.appearance";
constexpr char kColorScheme[] = "color-scheme";
// The portal may have to be started for the first read.
constexpr int kReadTimeoutMs = 3000;

void OnRead(GObject* connection, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<std::shared_ptr<Shared>> box(static_cast<std::shared_ptr<Shared>*>(data));
  Shared& shared = **box;
  GError* raw_error = nullptr;
  const GVariantPtr reply(
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, &raw_error));
  const GErrorPtr error(raw_error);
  if (shared.ended || shared.heard_change)
    return;
  GVariantPtr value;
  if (reply && g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(v)")))
    value.reset(g_variant_get_child_value(reply.get(), 0));
  shared.changed(SchemePreferenceFromPortal(value.get()));
}

void OnSettingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                      GVariant* parameters, gpointer data) {
  Shared& shared = **static_cast<std::shared_ptr<Shared>*>(data);
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)")))
    return;
  const gchar* group = nullptr;
  const gchar* key = nullptr;
  GVariant* raw_value = nullptr;
  g_variant_get(parameters, "(&s&sv)", &group, &key, &raw_value);
  const GVariantPtr value(raw_value);
  if (std::strcmp(group, kAppearance) != 0 || std::strcmp(key, kColorScheme) != 0)
    return;
  shared.heard_change = true;
  shared.changed(SchemePreferenceFromPortal(value.get()));
}

}  // namespace

SchemePreference SchemePreferenceFromPortal(GVariant* value) {
  GVariantPtr held(value ? g_variant_ref(value) : nullptr);
  while (held && g_variant_is_of_type(held.get(), G_VARIANT_TYPE_VARIANT))
    held.reset(g_variant_get_variant(held.get()));
  if (!held || !g_variant_is_of_type(held.get(), G_VARIANT_TYPE_UINT32))
    return SchemePreference::kNone;
  switch (g_variant_get_uint32(held.get())) {
    case 1:
      return SchemePreference::kDark;
    case 2:
      return SchemePreference::kLight;
    default:
      return SchemePreference::kNone;
  }
}

bool PaintDark(SchemePreference desktop, bool toolkit_prefers_dark) {
  return desktop == SchemePreference::kNone ? toolkit_prefers_dark
                                            : desktop == SchemePreference::kDark;
}

PortalColorScheme::PortalColorScheme(GDBusConnection* connection, Listener changed)
    : shared_(std::make_shared<Shared>()) {
  shared_->changed = std::move(changed);
  connection_ = GivenOrSessionBus(connection);
  if (!connection_)
    return;  // no session bus, so no portal: the toolkit's own preference stands
  subscription_ = g_dbus_connection_signal_subscribe(
      connection_.get(), kPortalName, kSettingsInterface, "SettingChanged", kPortalPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, OnSettingChanged, new std::shared_ptr<Shared>(shared_),
      [](gpointer data) { delete static_cast<std::shared_ptr<Shared>*>(data); });
  // Read, not ReadOne: every portal version has it (its value comes wrapped once more).
  g_dbus_connection_call(connection_.get(), kPortalName, kPortalPath, kSettingsInterface, "Read",
                         g_variant_new("(ss)", kAppearance, kColorScheme), G_VARIANT_TYPE("(v)"),
                         G_DBUS_CALL_FLAGS_NONE, kReadTimeoutMs, nullptr, OnRead,
                         new std::shared_ptr<Shared>(shared_));
}

PortalColorScheme::~PortalColorScheme() {
  shared_->ended = true;
  if (subscription_)
    g_dbus_connection_signal_unsubscribe(connection_.get(), subscription_);
}

}  // namespace quensary
