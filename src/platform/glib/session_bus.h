#pragma once

#include <gio/gio.h>

#include "platform/glib/gobject_ref.h"

namespace quensary {

// The connection a caller was given (tests hand in a private bus), else the desktop's session bus;
// empty when there is none, which callers take as "no such service here".
inline GObjectRef<GDBusConnection> GivenOrSessionBus(GDBusConnection* given) {
  if (given)
    return GObjectRef<GDBusConnection>::Share(given);
  return GObjectRef<GDBusConnection>::Adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
}

}  // namespace quensary
