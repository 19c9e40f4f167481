#pragma once

#include <memory>

#include "bus/lns_center.h"
#include "overlay/desktop/hover_ticker.h"
#include "overlay/desktop/overlay_page_feed.h"
#include "overlay/desktop/overlay_view.h"
#include "overlay/float_state.h"
#include "platform/main_queue.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"
#include "web/float_window.h"
#include "web/web_obj.h"

namespace quensary {

// The floating overlay and its owner: the overlay page in a borderless, transparent window
// that floats above every other window and lets clicks pass through to what lies below, except
// while the pointer is over it and it is not locked. It puts together the page, its window
// (OverlayView), what the page is told (OverlayPageFeed, also from the bus) and the hover tick
// (HoverTicker). Made once, as the program is prepared, and kept for the life of the process.
// Main thread only.
class FloatHoverMonitor {
 public:
  // `share_process_with`, when given, is another page of the program's own whose web process
  // the overlay's page shares.
  FloatHoverMonitor(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                    std::shared_ptr<SettingsStore> settings, std::shared_ptr<EnginePool> engines,
                    const WebObj* share_process_with = nullptr);
  FloatHoverMonitor(const FloatHoverMonitor&) = delete;
  FloatHoverMonitor& operator=(const FloatHoverMonitor&) = delete;

  // One look at the pointer: applies the hover rule to the window (see DecideHover).
  void HoverTick() { ticker_->Tick(); }
  // The start values and the visibility, from the current settings.
  void SendInit() { feed_->SendInit(); }
  // Puts the overlay where the user last put it on this screen, or at first in the screen's lower
  // part clear of the main window (of the given size, centred on the screen); from then on the
  // user's moves and widths are kept.
  void PlaceOnScreen(double main_width, double main_height);

  FloatState& state() { return *state_; }
  FloatWindow* OverlayWindow() const { return view_->Window(); }
  const std::shared_ptr<WebObj>& OverlayWebObj() const { return page_; }
  // The lock button's padded square in window coordinates; empty until it is first laid out.
  const ScreenRect& LockButtonRect() const { return view_->LockButtonRect(); }
  GtkWidget* LockButton() const { return view_->LockButton(); }
  // Whether the window takes clicks, and its backdrop's alpha, as the last tick left them.
  bool TakesInput() const { return view_->Look().takes_input; }
  double BackdropAlpha() const { return view_->Look().backdrop; }
  bool Zoomed() const { return view_->Zoomed(); }

 private:
  std::shared_ptr<SettingsStore> settings_;
  std::shared_ptr<FloatState> state_;
  std::shared_ptr<WebObj> page_;
  std::shared_ptr<OverlayView> view_;
  std::shared_ptr<OverlayPageFeed> feed_;
  std::unique_ptr<HoverTicker> ticker_;
};

}  // namespace quensary
