#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "overlay/hover_decision.h"
#include "platform/glib/gobject_ref.h"
#include "platform/x11/x11_keep_above.h"
#include "web/float_window.h"
#include "web/transparent_view_repaint.h"

namespace quensary {

// The overlay's window: the overlay page's view in a borderless, transparent window that floats
// above the others, with the lock button fading in at its bottom-right corner. It knows where
// the window and the lock button are, and shows the hover look it is given. The window goes with
// the object. Main thread only.
class OverlayView {
 public:
  static constexpr int kWidth = 837;
  static constexpr int kHeight = 225;
  // The page's least height: the lock button and the grip.
  static constexpr int kLeastHeight = 60;

  // `page_view` is the overlay page's web view, which the window takes in; `on_lock_clicked`
  // runs at every click of the lock button.
  OverlayView(GtkWidget* page_view, std::function<void()> on_lock_clicked);
  ~OverlayView();
  OverlayView(const OverlayView&) = delete;
  OverlayView& operator=(const OverlayView&) = delete;

  FloatWindow* Window() const { return window_.get(); }
  // The lock button's padded square in window coordinates; empty until it is first laid out.
  const ScreenRect& LockButtonRect() const { return lock_rect_; }
  // The window on the screen, from its latest configure event or origin check.
  ScreenRect Frame() const;
  // Takes the window's origin from the X server, for when a window manager leaves out a notice.
  void CheckOrigin();

  // The look the window has now; its level is the window's own, which window commands may set.
  HoverLook Look() const;
  // Gives the window the look, touching only what differs: the hover tick asks five times a
  // second, for ever.
  void ShowLook(const HoverLook& look);
  void RevealLockButton(bool revealed);
  // Shows the lock button locked or open.
  void ShowLocked(bool locked);
  GtkWidget* LockButton() const { return lock_button_; }
  // Call after anything that changes what the page's view shows.
  void Repaint() { repaint_.Repaint(); }
  // After a change without fades over see-through pixels (TransparentViewRepaint).
  void RepaintOnce() { repaint_.RepaintOnce(); }
  // Gives the window the height that the page's content needs, within the screen's work area,
  // measured from where the user put it: it moves up only as far as the work area needs, and
  // back down when the content shrinks again. A maximized window keeps its size.
  void FitContentHeight(double height);
  // Moves the window as the program's own choice, not taken as the user's place.
  void MoveTo(int x, int y);
  // Puts the window at a place and width of the program's choosing, before or after it is shown.
  void Place(const ScreenRect& place);
  // Runs whenever the user has moved or resized the window (its new frame).
  void OnUserPlaced(std::function<void(const ScreenRect&)> placed) {
    on_user_placed_ = std::move(placed);
  }
  // The height the page's content asked for last, also while zoomed.
  double ContentHeight() const { return content_height_; }
  // Zoomed is maximized, from the window manager's own notice.
  bool Zoomed() const { return zoomed_; }
  // Runs whenever the window is zoomed or restored.
  void OnZoomChanged(std::function<void(bool)> changed) { on_zoom_changed_ = std::move(changed); }
  void SetShown(bool shown);

 private:
  static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self);
  static void OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self);
  static void OnLockClicked(GtkButton*, gpointer self);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  void RecordLockButton();

  GtkWidget* page_view_;
  std::function<void()> on_lock_clicked_;
  std::function<void(bool)> on_zoom_changed_;
  std::function<void(const ScreenRect&)> on_user_placed_;
  GObjectRef<FloatWindow> window_;
  GtkWidget* revealer_ = nullptr;
  GtkWidget* lock_button_ = nullptr;
  TransparentViewRepaint repaint_;
  X11KeepAbove keep_above_;
  ScreenRect lock_rect_;
  // The empty input shape, made once.
  std::unique_ptr<cairo_region_t, decltype(&cairo_region_destroy)> no_input_{cairo_region_create(),
                                                                             cairo_region_destroy};
  bool takes_input_ = true;
  bool locked_ = false;
  bool zoomed_ = false;
  double content_height_ = 0;
  double backdrop_ = 0;
  // Where the user put the window: any move the program did not ask for itself (a drag, the
  // window manager, a test). Absent until the window is first placed.
  std::optional<std::pair<int, int>> user_place_;
  // Whether the program has put the window somewhere yet.
  bool Placed() const { return user_place_ || asked_place_ != std::pair(-1, -1); }
  std::pair<int, int> asked_place_{-1, -1};
  int asked_width_ = kWidth;
  // The window's top-left corner on the screen. Kept from the window manager's notices: asking
  // the X server on every tick would cost a second round trip.
  int origin_x_ = 0, origin_y_ = 0;
};

}  // namespace quensary
