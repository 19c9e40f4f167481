#pragma once

#include <webkit2/webkit2.h>

namespace quensary {

// The web view of every page. A left press records where the pointer and the window were; while
// the window is a FloatWindow with IsDraf set, motion moves the window by the pointer's offset
// from that press point. The page still sees every left-button event; it never sees the right
// button, and no context menu is ever shown. Main thread only.
struct DragWebView {
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

// The GType of DragWebView (registered on first use).
GType DragWebViewType();

// The widget as a DragWebView, or null when it is anything else (or null).
DragWebView* AsDragWebView(GtkWidget* widget);

}  // namespace quensary
