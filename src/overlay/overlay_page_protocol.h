#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "overlay/hover_decision.h"
#include "support/settings_store.h"
#include "translate/translator_profile.h"

namespace quensary::OverlayPageProtocol {

// The start values the overlay page receives: the display settings under their storage keys, the
// active engine's name (empty while none is active) and whether the main window is on top.
std::string InitJson(const SettingsStore& settings, const TranslatorProfilePtr& active);
std::string InitCall(const std::string& init_json);   // "    Init(...)"
std::string JuziCall(const std::string& lines_json);  // "Juzi(...)"

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
