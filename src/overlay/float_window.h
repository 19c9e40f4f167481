#pragma once

#include <gtk/gtk.h>

namespace quensary {

// A top-level window without title bar that can still take the keyboard focus. The overlay and
// the main window are FloatWindows. Main thread only.
struct FloatWindow {
  GtkWindow parent_instance;
  // While true, a left-button drag inside the window's DragWebView moves the window. Changed only
  // by the page's window commands.
  gboolean IsDraf;
};

// The GType of FloatWindow (registered on first use).
GType FloatWindowType();

// A new, hidden FloatWindow with IsDraf false.
GtkWidget* NewFloatWindow();

// The widget as a FloatWindow, or null when it is anything else (or null).
FloatWindow* AsFloatWindow(GtkWidget* widget);

}  // namespace quensary
