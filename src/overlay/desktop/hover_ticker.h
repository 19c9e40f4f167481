#pragma once

#include <glib.h>

#include <memory>

#include "overlay/desktop/overlay_view.h"
#include "overlay/float_state.h"

namespace quensary {

// The hover rule at work: five times a second it looks where the pointer is, gives the overlay
// the look the rule decides (DecideHover, LookAfter) and keeps the hover state up to date. The
// timer stops when the object goes. Main thread only.
class HoverTicker {
 public:
  static constexpr guint kIntervalMs = 200;

  HoverTicker(std::shared_ptr<OverlayView> view, std::shared_ptr<FloatState> state);
  ~HoverTicker();
  HoverTicker(const HoverTicker&) = delete;
  HoverTicker& operator=(const HoverTicker&) = delete;

  // One look at the pointer; the timer calls it.
  void Tick();

 private:
  std::shared_ptr<OverlayView> view_;
  std::shared_ptr<FloatState> state_;
  unsigned ticks_ = 0;  // counts ticks between checks of the window's origin
  guint timer_ = 0;
};

}  // namespace quensary
