#pragma once

#include <gtk/gtk.h>

namespace quensary {

// The overlay's lock button: a round, half-see-through dark button with a white lock in it,
// named for assistive technologies. What a click does is up to the caller.
GtkWidget* NewLockButton();

}  // namespace quensary
