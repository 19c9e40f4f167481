#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "overlay/hover_decision.h"
#include "protocol/settings_store.h"

namespace quensary::OverlayPageProtocol {

// The overlay is hidden exactly while both of its switches are off.
bool Visible(const SettingsStore& settings);

// The height a page asks for with ContentHeight: the whole text must be a number in the C
// locale's syntax, without leading white space. Absent for anything else, and for a height that
// is not a finite number greater than 0.
std::optional<double> ParseContentHeight(std::string_view text);

// The overlay's frame for a new height: the top edge stays, and the window never grows beyond
// the work area (it moves up as far as needed to stay within it).
ScreenRect FrameForContentHeight(const ScreenRect& frame, double height,
                                 const ScreenRect& work_area);

}  // namespace quensary::OverlayPageProtocol
