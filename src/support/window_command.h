#pragma once

#include <string_view>

#include "platform/window_control.h"

namespace quensary {

// Applies a page's window command word (`DragOn`, `DragOff`, `ZoomToggle`) to the window that
// shows the page; any other word does nothing. The main page and the overlay page share it.
void ApplyWindowCommand(WindowControl& window, std::string_view word);

}  // namespace quensary
