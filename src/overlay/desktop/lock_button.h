#pragma once

#include <gtk/gtk.h>

namespace quensary {

// The overlay's lock button: a round, half-see-through dark button with a white lock in it, open
// and named "Lock the subtitles" until it is shown locked. What a click does is up to the caller.
GtkWidget* NewLockButton();
// Shows the lock closed, on a lighter ring, and names the button for what a click would do.
void ShowLocked(GtkWidget* lock_button, bool locked);

}  // namespace quensary
