#include "overlay/hover_decision.h"

#include <algorithm>

namespace quensary {

HoverOutcome DecideHover(double pointer_x, double pointer_y, const ScreenRect& window,
                         const ScreenRect& lock_button, bool is_lock, bool* inside) {
  *inside = false;
  if (lock_button.Contains(pointer_x, pointer_y))
    return HoverOutcome::kOpenInputOnly;
  *inside = window.Contains(pointer_x, pointer_y);
  return *inside && !is_lock ? HoverOutcome::kActive : HoverOutcome::kPassive;
}

HoverLook LookAfter(HoverOutcome outcome, const HoverLook& current, bool zoomed) {
  switch (outcome) {
    case HoverOutcome::kOpenInputOnly:
      return {true, current.backdrop, current.level};
    case HoverOutcome::kActive:
      return {true, zoomed ? 0 : HoverLook::kActiveBackdrop, WindowControl::kFloatingLevel};
    case HoverOutcome::kPassive:
      break;
  }
  return {false, 0, WindowControl::kTopLevel};
}

ScreenRect HoverArea(const ScreenRect& window, bool zoomed, double content_height) {
  if (!zoomed || content_height <= 0)
    return window;
  return {window.x, window.y, window.width, std::min(window.height, content_height)};
}

}  // namespace quensary
