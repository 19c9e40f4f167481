#include "web/drag_web_view.h"

#include <cmath>

#include "web/float_window.h"

namespace quensary {

struct _DragWebView {
  WebKitWebView parent_instance;
  // Pointer position (root coordinates) at the last left press inside this view.
  struct {
    gboolean present;
    double x;
    double y;
  } dragStartPoint;
  // Position and size of this view's window at that press; absent without a window.
  struct {
    gboolean present;
    GdkRectangle frame;
  } windowStartFrame;
};

G_DEFINE_FINAL_TYPE(DragWebView, drag_web_view, WEBKIT_TYPE_WEB_VIEW)

namespace {

constexpr guint kLeftButton = 1;
constexpr guint kRightButton = 3;

GtkWidgetClass* BaseWidgetClass() {
  return GTK_WIDGET_CLASS(drag_web_view_parent_class);
}

// The top-level window that shows the view, if any.
GtkWindow* WindowOf(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  return (top && gtk_widget_is_toplevel(top) && GTK_IS_WINDOW(top)) ? GTK_WINDOW(top) : nullptr;
}

void Forget(DragWebView* view) {
  view->dragStartPoint.present = FALSE;
  view->windowStartFrame.present = FALSE;
}

gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event) {
  auto* view = QUENSARY_DRAG_WEB_VIEW(widget);
  // The right button belongs to no one: the page never hears of it.
  if (event->button == kRightButton)
    return TRUE;
  if (event->button == kLeftButton && event->type == GDK_BUTTON_PRESS) {
    view->dragStartPoint = {TRUE, event->x_root, event->y_root};
    if (GtkWindow* window = WindowOf(widget)) {
      GdkRectangle frame{};
      gtk_window_get_position(window, &frame.x, &frame.y);
      gtk_window_get_size(window, &frame.width, &frame.height);
      view->windowStartFrame = {TRUE, frame};
    } else {
      view->windowStartFrame.present = FALSE;
    }
  }
  return BaseWidgetClass()->button_press_event(widget, event);
}

gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event) {
  auto* view = QUENSARY_DRAG_WEB_VIEW(widget);
  GtkWindow* window = WindowOf(widget);
  FloatWindow* floating =
      window && QUENSARY_IS_FLOAT_WINDOW(window) ? QUENSARY_FLOAT_WINDOW(window) : nullptr;
  // IsDraf is read at every motion, so dragging turned on during a press starts moving the
  // window from the next motion, still measured from the press point.
  if (floating && float_window_get_is_draf(floating) && view->dragStartPoint.present &&
      view->windowStartFrame.present) {
    // Always the offset from the press point, never accumulated: skipped or coalesced motion
    // events cannot make the window drift away from the pointer.
    const double dx = event->x_root - view->dragStartPoint.x;
    const double dy = event->y_root - view->dragStartPoint.y;
    gtk_window_move(window, view->windowStartFrame.frame.x + static_cast<int>(std::lround(dx)),
                    view->windowStartFrame.frame.y + static_cast<int>(std::lround(dy)));
  }
  return BaseWidgetClass()->motion_notify_event(widget, event);
}

gboolean OnButtonRelease(GtkWidget* widget, GdkEventButton* event) {
  if (event->button == kRightButton)
    return TRUE;
  if (event->button == kLeftButton)
    Forget(QUENSARY_DRAG_WEB_VIEW(widget));
  return BaseWidgetClass()->button_release_event(widget, event);
}

// Neither WebKit's own menu nor any other appears, whatever asked for it.
gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*) {
  return TRUE;
}

}  // namespace

static void drag_web_view_class_init(DragWebViewClass* klass) {
  auto* widget_class = GTK_WIDGET_CLASS(klass);
  widget_class->button_press_event = OnButtonPress;
  widget_class->motion_notify_event = OnMotion;
  widget_class->button_release_event = OnButtonRelease;
  WEBKIT_WEB_VIEW_CLASS(klass)->context_menu = OnContextMenu;
}

static void drag_web_view_init(DragWebView* view) {
  Forget(view);
}

}  // namespace quensary
