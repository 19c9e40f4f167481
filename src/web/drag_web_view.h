#pragma once

#include <webkit2/webkit2.h>

namespace quensary {

// The web view of every page. A left press records where the pointer and the window were; while
// the window is a FloatWindow with `IsDraf` set, motion moves the window by the pointer's offset
// from that press point. The page still sees every left-button event; it never sees the right
// button, and no context menu is ever shown. Main thread only.
G_DECLARE_FINAL_TYPE(DragWebView, drag_web_view, QUENSARY, DRAG_WEB_VIEW, WebKitWebView)

}  // namespace quensary
