#pragma once

#include <string_view>

#include "platform/window_control.h"

namespace quensary {

// Applies a page's window command word (drag on, drag off, zoom toggle) to the window that shows
// the page; any other word does nothing. The main page and the overlay page share it.
void ApplyWindowCommand(WindowControl& window, std::string_view word);

}  // namespace quensary
