#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>

#include "platform/glib/gobject_ref.h"

namespace quensary {

// What the desktop's appearance setting (org.freedesktop.appearance color-scheme) asks for.
enum class SchemePreference { kNone, kDark, kLight };

// The preference in a value the settings portal gives: a uint32 (0 none, 1 dark, 2 light) as
// SettingChanged and ReadOne send it, or wrapped in a further variant as the older Read returns
// it. Anything else asks for nothing.
SchemePreference SchemePreferenceFromPortal(GVariant* value);

// Whether to paint dark: as the desktop asks, else as the toolkit's own dark-theme preference
// says.
bool PaintDark(SchemePreference desktop, bool toolkit_prefers_dark);

// Follows the appearance setting through the desktop's settings portal on the session bus: reads
// it once (asynchronously) and then on every SettingChanged. `changed` runs on the main thread
// with the first answer (kNone when the portal does not answer) and with each change; without a
// session bus it never runs. Made and ended on the main thread.
class PortalColorScheme {
 public:
  using Listener = std::function<void(SchemePreference)>;

  // Asks on `connection`, or on the session bus when it is null.
  PortalColorScheme(GDBusConnection* connection, Listener changed);
  ~PortalColorScheme();
  PortalColorScheme(const PortalColorScheme&) = delete;
  PortalColorScheme& operator=(const PortalColorScheme&) = delete;

  // What the callbacks share: it outlives the watcher while a read is under way.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  GObjectRef<GDBusConnection> connection_;
  unsigned subscription_ = 0;
};

}  // namespace quensary
