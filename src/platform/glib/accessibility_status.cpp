#include "platform/glib/accessibility_status.h"

#include <gio/gio.h>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "platform/glib/session_bus.h"

namespace quensary::AccessibilityStatus {
namespace {

constexpr int kCallTimeoutMs = 1000;

GObjectRef<GDBusConnection> SessionBus() {
  return GivenOrSessionBus(nullptr);
}

GVariantPtr Call(GDBusConnection* bus, const char* interface, const char* method,
                 GVariant* parameters, const char* reply_type) {
  return GVariantPtr(g_dbus_connection_call_sync(
      bus, "org.a11y.Bus", "/org/a11y/bus", interface, method, parameters,
      G_VARIANT_TYPE(reply_type), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr));
}

}  // namespace

bool Trusted() {
  const auto bus = SessionBus();
  if (!bus)
    return false;
  const GVariantPtr address = Call(bus.get(), "org.a11y.Bus", "GetAddress", nullptr, "(s)");
  const GVariantPtr enabled = Call(bus.get(), "org.freedesktop.DBus.Properties", "Get",
                                   g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), "(v)");
  if (!address || !enabled)
    return false;
  const GVariantPtr value(g_variant_get_child_value(enabled.get(), 0));
  const GVariantPtr flag(g_variant_get_variant(value.get()));
  return g_variant_is_of_type(flag.get(), G_VARIANT_TYPE_BOOLEAN) &&
         g_variant_get_boolean(flag.get());
}

void Enable() {
  if (const auto bus = SessionBus()) {
    Call(bus.get(), "org.freedesktop.DBus.Properties", "Set",
         g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)), "()");
  }
}

}  // namespace quensary::AccessibilityStatus
