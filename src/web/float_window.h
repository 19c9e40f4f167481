#pragma once

#include <gtk/gtk.h>

namespace quensary {

// A top-level window without title bar that can still take the keyboard focus. The overlay and
// the main window are FloatWindows. Main thread only.
G_DECLARE_FINAL_TYPE(FloatWindow, float_window, QUENSARY, FLOAT_WINDOW, GtkWindow)

// A new, hidden FloatWindow that does not drag.
FloatWindow* float_window_new();

// `IsDraf`: while true, a left-button drag inside the window's DragWebView moves the window.
// Changed only by the pages' window commands.
gboolean float_window_get_is_draf(FloatWindow* window);
void float_window_set_is_draf(FloatWindow* window, gboolean is_draf);

// The window's level, as the program reads it back: 0 normal, 3 kept above other windows, 1000
// kept above and raised over the other kept-above windows.
int float_window_get_level(FloatWindow* window);
void float_window_set_level(FloatWindow* window, int level);

}  // namespace quensary
