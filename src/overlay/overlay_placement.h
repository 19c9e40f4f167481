#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "overlay/hover_decision.h"

namespace quensary::OverlayPlacement {

// Where the overlay first goes on a screen: centred across it, in its lower part where film
// subtitles are, and clear of the main window (below it if there is room, otherwise above it).
ScreenRect FirstPlace(const ScreenRect& work_area, const ScreenRect& main_window, double width,
                      double height);

// Places are kept per screen, by its name (the monitor's model): the same screen may come back
// with a smaller resolution or work area.
// The place and width kept for `screen` in `places` (the stored JSON object), brought back into
// the work area, which may have shrunk since, with at least `least_height` of it on screen (the
// content's height keeps the rest there); absent when none is kept or the text is damaged.
std::optional<ScreenRect> KeptPlace(std::string_view places, std::string_view screen,
                                    const ScreenRect& work_area, double least_height);

// `places` with the place and width for `screen` set; a damaged text starts afresh.
std::string WithPlace(std::string_view places, std::string_view screen, const ScreenRect& place);

}  // namespace quensary::OverlayPlacement
