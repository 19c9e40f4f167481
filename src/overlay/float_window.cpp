#include "overlay/float_window.h"

namespace quensary {
namespace {

void InitFloatWindow(GTypeInstance* instance, gpointer) {
  reinterpret_cast<FloatWindow*>(instance)->IsDraf = FALSE;
}

}  // namespace

GType FloatWindowType() {
  static const GType type = g_type_register_static_simple(
      GTK_TYPE_WINDOW, "QuensaryFloatWindow", sizeof(GtkWindowClass), nullptr, sizeof(FloatWindow),
      InitFloatWindow, static_cast<GTypeFlags>(0));
  return type;
}

GtkWidget* NewFloatWindow() {
  // No decoration means no title bar; accept-focus keeps such a window able to take key input.
  return GTK_WIDGET(g_object_new(FloatWindowType(), "type", GTK_WINDOW_TOPLEVEL, "decorated", FALSE,
                                 "accept-focus", TRUE, "focus-on-map", TRUE, nullptr));
}

FloatWindow* AsFloatWindow(GtkWidget* widget) {
  if (!widget || !G_TYPE_CHECK_INSTANCE_TYPE(widget, FloatWindowType()))
    return nullptr;
  return reinterpret_cast<FloatWindow*>(widget);
}

}  // namespace quensary
