#pragma once

#include <gtk/gtk.h>

#include <string>

#include "platform/main_queue.h"

namespace quensary::Tools {

// Shows the window later on the main queue: presented, visible, and with `floating` also kept
// above other windows. Any thread; the work runs in submission order.
void ShowWindowLater(MainQueue& main_queue, GtkWidget* window, bool floating);
// Hides the window later on the main queue. Any thread; in submission order.
void HideWindowLater(MainQueue& main_queue, GtkWidget* window);
// Opens an http, https or mailto address with the desktop's default handler; anything else does
// nothing. Main thread.
void OpenInBrowser(const std::string& address);
// Raises every top-level window of the program that belongs to the updater: those whose type
// name contains one of the update-window names, or whose widget name is the update-window
// identifier. Main thread.
void RaiseUpdateWindows();

}  // namespace quensary::Tools
