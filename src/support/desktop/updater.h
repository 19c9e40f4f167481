#pragma once

#include <gtk/gtk.h>

#include <string>

#include "support/appcast.h"

namespace quensary::Updater {

// How long after it is scheduled the check starts, how long it may take, and when the update
// windows are raised.
inline constexpr guint kStartDelayMs = 500;
inline constexpr guint kTimeoutSeconds = 15;
inline constexpr guint kRaiseDelayMs = 2000;

// Looks once for a newer version of the program, in the background on the main loop (no thread
// ever waits): 0.5 s after this call it fetches the program's appcast (QUENSARY_APPCAST_URL
// names another, for tests), and when the newest item is newer than `own_version` it shows an
// update window. 2.0 s after this call the update windows are raised, whatever happened. Any
// failure is silent but for one diagnostic line; nothing is retried. The program never
// downloads or runs anything from the feed: the window only opens the item's https page in the
// browser. Main thread.
void ScheduleCheck(std::string own_version);

// The update window for an offer: its version, its notes as plain text, a button that opens its
// page and one that closes the window. Its widget name is the update-window identifier.
GtkWidget* NewUpdateWindow(const Appcast::Offer& offer, const std::string& own_version);

}  // namespace quensary::Updater
