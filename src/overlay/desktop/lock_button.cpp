#include "overlay/desktop/lock_button.h"

#include <cmath>

#include "platform/glib/gobject_ref.h"

namespace quensary {
namespace {

constexpr int kLockSymbolSize = 14;

constexpr char kLocked[] = "quensary-locked";

// Locked, a white ring shows the state even at a glance from the side of the screen.
constexpr char kLockButtonStyle[] =
    "button.lock { border-radius: 50%; background: rgba(0,0,0,0.5); padding: 10px; border: none;"
    " box-shadow: none; min-width: 0; min-height: 0; }"
    " button.lock.locked { box-shadow: inset 0 0 0 2px rgba(255,255,255,0.9); }";

bool IsLocked(GtkWidget* button) {
  return g_object_get_data(G_OBJECT(button), kLocked) != nullptr;
}

// A white lock drawn in the button: a shackle over a body, the shackle raised with one leg free
// while unlocked. Drawn rather than taken from an icon theme, so it shows the same on every
// desktop.
gboolean DrawLock(GtkWidget* area, cairo_t* cr, gpointer button) {
  const double w = gtk_widget_get_allocated_width(area);
  const double h = gtk_widget_get_allocated_height(area);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, w * 0.14);
  if (IsLocked(GTK_WIDGET(button))) {
    cairo_arc(cr, w / 2, h * 0.42, w * 0.24, M_PI, 0);
  } else {
    cairo_move_to(cr, w * 0.28, h * 0.42);
    cairo_arc(cr, w / 2, h * 0.3, w * 0.22, M_PI, 0);
  }
  cairo_stroke(cr);
  cairo_rectangle(cr, w * 0.14, h * 0.42, w * 0.72, h * 0.56);
  cairo_fill(cr);
  return TRUE;
}

}  // namespace

GtkWidget* NewLockButton() {
  GtkWidget* button = gtk_button_new();
  gtk_widget_set_name(button, "lock");
  gtk_style_context_add_class(gtk_widget_get_style_context(button), "lock");
  auto css = GObjectRef<GtkCssProvider>::Adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), kLockButtonStyle, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(button),
                                 GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
  GtkWidget* symbol = gtk_drawing_area_new();
  gtk_widget_set_size_request(symbol, kLockSymbolSize, kLockSymbolSize);
  g_signal_connect(symbol, "draw", G_CALLBACK(DrawLock), button);
  gtk_container_add(GTK_CONTAINER(button), symbol);
  ShowLocked(button, false);
  return button;
}

void ShowLocked(GtkWidget* button, bool locked) {
  g_object_set_data(G_OBJECT(button), kLocked, locked ? button : nullptr);
  GtkStyleContext* style = gtk_widget_get_style_context(button);
  if (locked)
    gtk_style_context_add_class(style, "locked");
  else
    gtk_style_context_remove_class(style, "locked");
  atk_object_set_name(gtk_widget_get_accessible(button),
                      locked ? "Unlock the subtitles" : "Lock the subtitles");
  gtk_widget_queue_draw(button);
}

}  // namespace quensary
