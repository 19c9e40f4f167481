#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "bus/lns_center.h"
#include "overlay/float_state.h"
#include "overlay/hover_decision.h"
#include "platform/glib/gobject_ref.h"
#include "platform/main_queue.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"
#include "web/float_window.h"
#include "web/transparent_view_repaint.h"
#include "web/web_obj.h"

namespace quensary {

// The floating overlay and its owner: the overlay page in a borderless, transparent window
// that floats above every other window and lets clicks pass through to what lies below, except
// while the pointer is over it and it is not locked. Made once by window setup and kept for the
// life of the process; nothing of it is ever closed. Main thread only.
class FloatHoverMonitor {
 public:
  static constexpr int kWidth = 837;
  static constexpr int kHeight = 225;
  static constexpr guint kTickMs = 200;

  FloatHoverMonitor(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                    std::shared_ptr<SettingsStore> settings, std::shared_ptr<EnginePool> engines);
  FloatHoverMonitor(const FloatHoverMonitor&) = delete;
  FloatHoverMonitor& operator=(const FloatHoverMonitor&) = delete;

  // One look at the pointer: applies the hover rule to the window (see DecideHover).
  void HoverTick();
  // The start values and the visibility, from the current settings.
  void SendInit();

  FloatState& state() { return state_; }
  FloatWindow* OverlayWindow() const { return window_.get(); }
  const std::shared_ptr<WebObj>& OverlayWebObj() const { return page_; }
  // The lock button's padded square in window coordinates; empty until it is first laid out.
  const ScreenRect& LockButtonRect() const { return lock_rect_; }
  GtkWidget* LockButton() const { return lock_button_; }
  // Whether the window takes clicks, and its backdrop's alpha, as the last tick left them.
  bool TakesInput() const { return takes_input_; }
  double BackdropAlpha() const { return backdrop_; }

 private:
  void BuildView();
  void ApplyHover(bool takes_input, double backdrop, int level);
  void ContentHeight(const std::string& text);
  void RecordLockButton();
  void KeepAboveOthers();

  std::shared_ptr<MainQueue> main_queue_;
  std::shared_ptr<SettingsStore> settings_;
  std::shared_ptr<EnginePool> engines_;
  FloatState state_;
  std::shared_ptr<WebObj> page_;
  std::unique_ptr<TransparentViewRepaint> repaint_;
  GObjectRef<FloatWindow> window_;
  GtkWidget* revealer_ = nullptr;
  GtkWidget* lock_button_ = nullptr;
  ScreenRect lock_rect_;
  // The empty input shape, made once.
  std::unique_ptr<cairo_region_t, decltype(&cairo_region_destroy)> no_input_{nullptr,
                                                                             cairo_region_destroy};
  bool takes_input_ = true;
  bool grip_shown_ = false;
  // The window's top-left corner on the screen, from its latest configure event and checked
  // with the X server once a second.
  int origin_x_ = 0, origin_y_ = 0;
  unsigned ticks_ = 0;  // counts ticks between checks of the origin with the X server
  double backdrop_ = 0;
  bool stacking_changed_ = true;
};

}  // namespace quensary
