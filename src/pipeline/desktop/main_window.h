#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "web/float_window.h"

namespace quensary {

// The main window's frame and size: an undecorated FloatWindow that opens at 837 by 525, centred,
// black behind the page, with corners rounded at radius 10 and the page clipped to them (through
// a transparent visual under a compositor, through the window's shape without one). The view
// fills the window and follows every resize and maximize. Main thread only.
inline constexpr int kMainWindowWidth = 837;
inline constexpr int kMainWindowHeight = 525;
inline constexpr double kMainWindowCornerRadius = 10;

// A new, hidden main window showing `page_view`, the main page's web view.
FloatWindow* NewMainWindow(GtkWidget* page_view);

// Tells `seen` whether `window` is on screen each time it is minimized, hidden, shown or restored.
void FollowWhetherSeen(FloatWindow* window, std::function<void(bool)> seen);

}  // namespace quensary
