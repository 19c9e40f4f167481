#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "overlay/hover_decision.h"
#include "protocol/page_calls.h"
#include "protocol/settings_store.h"

namespace quensary::OverlayPageProtocol {

// The overlay is hidden exactly while both of its switches are off.
bool Visible(const SettingsStore& settings);

// What of a line list (the bus's JSON array) the overlay can show: its newest kShownLines
// lines, each with its Id, Finish and the texts the settings show (a text not shown is sent
// empty). Two lists that look alike on the overlay give the same text, so an update that would
// change nothing there can be left out; "[]" for anything that is not a list.
std::string ShownLinesJson(std::string_view lines_json, const SettingsStore& settings);

// Whether the overlay, going from the lines `before` to the lines `after` (each as
// ShownLinesJson gives them), only adds text: the same lines in the same order, each text the
// start of its new text. On a solid panel such a change covers every pixel it drew before, so it
// leaves no ghosts (see TransparentViewRepaint) even where the view is not cleared.
bool OnlyAddsText(std::string_view before, std::string_view after);

// The height a page asks for with ContentHeight: the whole text must be a number in the C
// locale's syntax, without leading white space. Absent for anything else, and for a height that
// is not a finite number greater than 0.
std::optional<double> ParseContentHeight(std::string_view text);

// The overlay's frame for a new height: the top edge stays, and the window never grows beyond
// the work area (it moves up as far as needed to stay within it).
ScreenRect FrameForContentHeight(const ScreenRect& frame, double height,
                                 const ScreenRect& work_area);

}  // namespace quensary::OverlayPageProtocol
