#pragma once

namespace quensary {

// Makes the program's windows follow the desktop's colour scheme: GTK's dark-theme preference is
// set from the desktop's appearance setting (through its settings portal), and where the desktop
// asks for nothing it stays as the user's GTK settings have it. WebKitGTK takes a page's
// prefers-color-scheme from that same preference, so the pages' light and dark styles follow as
// well, also when the setting changes while the program runs. Starts once per process; later
// calls do nothing. Main thread.
void FollowDesktopColorScheme();

}  // namespace quensary
