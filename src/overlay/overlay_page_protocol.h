#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "overlay/hover_decision.h"
#include "protocol/settings_store.h"

namespace quensary::OverlayPageProtocol {

// The overlay is hidden exactly while both of its switches are off.
bool Visible(const SettingsStore& settings);

// How many of the newest lines the overlay page shows (SHOWN_LINES in overlay.js).
inline constexpr size_t kShownLines = 2;

// What of a line list (the bus's JSON array) the overlay can show: its newest kShownLines
// lines, each with its Id, Finish and the texts the settings show (a text not shown is sent
// empty). Two lists that look alike on the overlay give the same text, so an update that would
// change nothing there can be left out; "[]" for anything that is not a list.
std::string ShownLinesJson(std::string_view lines_json, const SettingsStore& settings);

// The height a page asks for with ContentHeight: the whole text must be a number in the C
// locale's syntax, without leading white space. Absent for anything else, and for a height that
// is not a finite number greater than 0.
std::optional<double> ParseContentHeight(std::string_view text);

// The overlay's frame for a new height: the top edge stays, and the window never grows beyond
// the work area (it moves up as far as needed to stay within it).
ScreenRect FrameForContentHeight(const ScreenRect& frame, double height,
                                 const ScreenRect& work_area);

}  // namespace quensary::OverlayPageProtocol
