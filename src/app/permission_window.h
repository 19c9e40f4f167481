#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "platform/main_queue.h"
#include "platform/worker_queue.h"

namespace quensary {

// The small window shown at start: it asks for the desktop's accessibility, which the program
// needs to read the caption provider. A titled, closable 600 by 300 window, centred, with a
// heading, a line on why, a divider, and a row with the permission's name and a green button. The
// button turns accessibility on (after a synthetic pointer motion, as the desktop's own prompt
// would need) and opens where it is explained. Closing the window ends the program with status 0.
// `background` runs the call that turns accessibility on.
GtkWidget* NewPermissionWindow(GtkApplication* application, std::shared_ptr<MainQueue> main_queue,
                               std::shared_ptr<WorkerQueue> background);

// Waits on a thread of its own until the program is trusted (at once, then every 1.5 s, for as
// long as it takes) and then runs `ready` once on the main thread.
void WaitForPermission(std::shared_ptr<MainQueue> main_queue, std::function<void()> ready);

// Once the main window exists: the page on the permission, if the user opened it, stays in front
// of the main window. Main thread.
void KeepPermissionHelpAbove(GtkWindow* main_window, MainQueue& main_queue);

}  // namespace quensary
