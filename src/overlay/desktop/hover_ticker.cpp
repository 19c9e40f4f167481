#include "overlay/desktop/hover_ticker.h"

#include <gtk/gtk.h>

namespace quensary {
namespace {

constexpr unsigned kTicksPerOriginCheck = 5;

}  // namespace

HoverTicker::HoverTicker(std::shared_ptr<OverlayView> view, std::shared_ptr<FloatState> state)
    : view_(std::move(view)), state_(std::move(state)) {
  // The timer goes with the object (see the destructor), so it may hold the object's address.
  timer_ = g_timeout_add(
      kIntervalMs,
      [](gpointer self) -> gboolean {
        static_cast<HoverTicker*>(self)->Tick();
        return G_SOURCE_CONTINUE;
      },
      this);
}

HoverTicker::~HoverTicker() {
  g_source_remove(timer_);
}

void HoverTicker::Tick() {
  GtkWidget* window = GTK_WIDGET(view_->Window());
  if (!gtk_widget_get_window(window))
    return;
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(window)));
  int px = 0, py = 0;
  gdk_device_get_position(pointer, nullptr, &px, &py);
  // Once a second the origin comes from the X server itself: a window manager that leaves out a
  // notice must not leave the hover area behind for good.
  if (++ticks_ % kTicksPerOriginCheck == 0)
    view_->CheckOrigin();
  const ScreenRect frame = view_->Frame();
  const ScreenRect& lock = view_->LockButtonRect();
  bool inside = false;
  const HoverOutcome outcome = DecideHover(
      px, py, HoverArea(frame, view_->Zoomed(), view_->ContentHeight()),
      {frame.x + lock.x, frame.y + lock.y, lock.width, lock.height}, state_->IsLock(), &inside);
  // On the lock button the pointer's place in the window is left as it was.
  if (outcome != HoverOutcome::kOpenInputOnly)
    state_->SetInarea(inside);
  view_->ShowLook(LookAfter(outcome, view_->Look(), view_->Zoomed()));
}

}  // namespace quensary
