#include "pipeline/desktop/main_window.h"

#include <webkit2/webkit2.h>

#include <cmath>
#include <memory>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

void RoundedRectangle(cairo_t* cr, double width, double height, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - radius, radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, width - radius, height - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, radius, height - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, radius, radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// Paints the black rounded frame, and leaves the rounded clip in place for the page that GTK
// draws next into the same context: the page is clipped to the corners too.
gboolean DrawFrame(GtkWidget* window, cairo_t* cr, gpointer) {
  const double width = gtk_widget_get_allocated_width(window);
  const double height = gtk_widget_get_allocated_height(window);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  RoundedRectangle(cr, width, height, kMainWindowCornerRadius);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  return FALSE;
}

// Without a compositor nothing is transparent: the window's own shape cuts the corners off.
void ShapeCorners(GtkWidget* window, GdkRectangle* allocation, gpointer) {
  if (gdk_screen_is_composited(gtk_widget_get_screen(window)))
    return;
  const std::unique_ptr<cairo_region_t, decltype(&cairo_region_destroy)> shape(
      cairo_region_create(), cairo_region_destroy);
  const int r = static_cast<int>(kMainWindowCornerRadius);
  for (int y = 0; y < allocation->height; ++y) {
    // How far each row is inset at the corners: the circle's distance from the straight edge.
    const int dy =
        y < r ? r - y : (y >= allocation->height - r ? y - (allocation->height - r - 1) : 0);
    const int inset = dy > 0 ? r - static_cast<int>(std::sqrt(r * r - (dy - 0.5) * (dy - 0.5))) : 0;
    const cairo_rectangle_int_t row{inset, y, allocation->width - 2 * inset, 1};
    cairo_region_union_rectangle(shape.get(), &row);
  }
  gtk_widget_shape_combine_region(window, shape.get());
}

}  // namespace

FloatWindow* NewMainWindow(GtkWidget* page_view) {
  FloatWindow* window = float_window_new();
  GtkWidget* widget = GTK_WIDGET(window);
  gtk_window_set_title(GTK_WINDOW(window), "Quensary");
  gtk_window_set_default_size(GTK_WINDOW(window), kMainWindowWidth, kMainWindowHeight);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_widget_set_app_paintable(widget, TRUE);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(widget)))
    gtk_widget_set_visual(widget, rgba);
  g_signal_connect(window, "draw", G_CALLBACK(DrawFrame), nullptr);
  g_signal_connect(window, "size-allocate", G_CALLBACK(ShapeCorners), nullptr);
  // Nothing opaque before the page paints: the frame shows through until then.
  GdkRGBA clear{};
  if (gdk_rgba_parse(&clear, RevealText(Sealed::MainViewBackground).c_str()))
    webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(page_view), &clear);
  gtk_container_add(GTK_CONTAINER(window), page_view);
  gtk_widget_show(page_view);
  return window;
}

void FollowWhetherSeen(FloatWindow* window, std::function<void(bool)> seen) {
  using Seen = std::function<void(bool)>;
  g_signal_connect_data(
      window, "window-state-event",
      G_CALLBACK(+[](GtkWidget*, GdkEventWindowState* event, gpointer data) -> gboolean {
        constexpr auto kUnseen = GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN;
        if (event->changed_mask & kUnseen)
          (*static_cast<Seen*>(data))(!(event->new_window_state & kUnseen));
        return FALSE;
      }),
      new Seen(std::move(seen)), [](gpointer data, GClosure*) { delete static_cast<Seen*>(data); },
      static_cast<GConnectFlags>(0));
}

}  // namespace quensary
