#pragma once

#include "platform/window_control.h"

namespace quensary {

// A rectangle in screen coordinates (y grows downwards). It contains a point on its top and left
// edges but not on its bottom and right ones, so an empty rectangle contains nothing.
struct ScreenRect {
  double x = 0, y = 0, width = 0, height = 0;
  bool Contains(double px, double py) const {
    return width > 0 && height > 0 && px >= x && px < x + width && py >= y && py < y + height;
  }
};

// What one hover tick does to the overlay.
enum class HoverOutcome {
  kOpenInputOnly,  // on the lock button: the window takes clicks there, nothing else changes
  kActive,         // under the pointer and unlocked: dark backdrop, takes clicks, level 3
  kPassive,        // elsewhere, or locked: no backdrop, click-through, level 1000
};

// The hover rule for a pointer position, given the window's frame and the lock button's
// rectangle (both on screen) and whether the overlay is locked. `*inside` tells whether the
// pointer is inside the window; it is only meaningful when the outcome is not kOpenInputOnly.
HoverOutcome DecideHover(double pointer_x, double pointer_y, const ScreenRect& window,
                         const ScreenRect& lock_button, bool is_lock, bool* inside);

// How the overlay meets the pointer: whether it takes clicks, the alpha of its dark backdrop and
// its window level. A new overlay takes clicks, shows no backdrop and floats.
struct HoverLook {
  static constexpr double kActiveBackdrop = 0.9;

  bool takes_input = true;
  double backdrop = 0;
  int level = WindowControl::kFloatingLevel;

  bool operator==(const HoverLook&) const = default;
};

// The look a tick's outcome gives an overlay that has the look `current`. A zoomed overlay fills
// the screen, so its backdrop stays off: the page darkens its own panel behind the text instead.
HoverLook LookAfter(HoverOutcome outcome, const HoverLook& current, bool zoomed = false);

// Where the pointer counts as over the overlay. Zoomed, that is only the strip the page's content
// takes at the window's top (`content_height`): a screen-filling window that took every click
// would leave the desktop unusable.
ScreenRect HoverArea(const ScreenRect& window, bool zoomed, double content_height);

}  // namespace quensary
