#include "web/float_window.h"

namespace quensary {

struct _FloatWindow {
  GtkWindow parent_instance;
  gboolean IsDraf;  // whether a drag in the window's web view moves it
  int level;
};

G_DEFINE_FINAL_TYPE(FloatWindow, float_window, GTK_TYPE_WINDOW)

static void float_window_init(FloatWindow* window) {
  window->IsDraf = FALSE;
  window->level = 0;
}

static void float_window_class_init(FloatWindowClass*) {}

FloatWindow* float_window_new() {
  // No decoration means no title bar; accept-focus keeps such a window able to take key input.
  return QUENSARY_FLOAT_WINDOW(g_object_new(float_window_get_type(), "type", GTK_WINDOW_TOPLEVEL,
                                            "decorated", FALSE, "accept-focus", TRUE,
                                            "focus-on-map", TRUE, nullptr));
}

gboolean float_window_get_is_draf(FloatWindow* window) {
  return window->IsDraf;
}

void float_window_set_is_draf(FloatWindow* window, gboolean is_draf) {
  window->IsDraf = is_draf;
}

int float_window_get_level(FloatWindow* window) {
  return window->level;
}

void float_window_set_level(FloatWindow* window, int level) {
  window->level = level;
  // Keep-above needs a window manager; without one the level is only remembered.
  gtk_window_set_keep_above(GTK_WINDOW(window), level > 0);
  if (level > 3) {
    if (GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window)))
      gdk_window_raise(surface);
  }
}

}  // namespace quensary
