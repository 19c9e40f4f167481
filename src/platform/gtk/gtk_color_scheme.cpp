#include "platform/gtk/gtk_color_scheme.h"

#include <gtk/gtk.h>

#include <string_view>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/portal_color_scheme.h"

namespace quensary {
namespace {

constexpr char kPreferDark[] = "gtk-application-prefer-dark-theme";

// What the user's GTK settings ask for before the program changes anything: the dark-theme
// preference, or a theme that is dark by its name (as WebKitGTK also reads it).
bool ToolkitPrefersDark(GtkSettings* settings) {
  gboolean prefer_dark = FALSE;
  gchar* raw_theme = nullptr;
  g_object_get(settings, kPreferDark, &prefer_dark, "gtk-theme-name", &raw_theme, nullptr);
  const GCharPtr theme(raw_theme);
  const std::string_view name = theme ? theme.get() : "";
  return prefer_dark || name.ends_with("-dark") || name.ends_with("-Dark") ||
         name.ends_with(":dark");
}

}  // namespace

void FollowDesktopColorScheme() {
  static PortalColorScheme* following = nullptr;  // for the life of the process
  GtkSettings* settings = gtk_settings_get_default();
  if (following || !settings)
    return;
  const bool toolkit_prefers_dark = ToolkitPrefersDark(settings);
  following =
      new PortalColorScheme(nullptr, [settings, toolkit_prefers_dark](SchemePreference desktop) {
        const gboolean dark = PaintDark(desktop, toolkit_prefers_dark);
        gboolean now = FALSE;
        g_object_get(settings, kPreferDark, &now, nullptr);
        // Setting it restyles every window and page: only when it changes.
        if (now != dark)
          g_object_set(settings, kPreferDark, dark, nullptr);
      });
}

}  // namespace quensary
