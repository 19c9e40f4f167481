#include "overlay/desktop/overlay_view.h"

#include <webkit2/webkit2.h>

#include <cmath>
#include <tuple>

#include "overlay/desktop/lock_button.h"
#include "overlay/overlay_page_protocol.h"

namespace quensary {
namespace {

constexpr int kLockMargin = 16;
constexpr guint kFadeMs = 200;

// The work area of the monitor that shows the window (all zero before it is realized).
ScreenRect WorkAreaOf(GtkWidget* window) {
  GdkRectangle area{0, 0, 0, 0};
  if (GdkWindow* surface = gtk_widget_get_window(window))
    gdk_monitor_get_workarea(
        gdk_display_get_monitor_at_window(gdk_window_get_display(surface), surface), &area);
  return {double(area.x), double(area.y), double(area.width), double(area.height)};
}

}  // namespace

OverlayView::OverlayView(GtkWidget* page_view, std::function<void()> on_lock_clicked)
    : page_view_(page_view),
      on_lock_clicked_(std::move(on_lock_clicked)),
      window_(GObjectRef<FloatWindow>::Share(float_window_new())),
      repaint_(page_view),
      keep_above_(GTK_WIDGET(window_.get())) {
  GtkWidget* window = GTK_WIDGET(window_.get());
  gtk_window_set_title(GTK_WINDOW(window), "Quensary subtitles");
  gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
  // Subtitles appearing must not take the keyboard from the window the user works in.
  gtk_window_set_focus_on_map(GTK_WINDOW(window), FALSE);
  gtk_widget_set_app_paintable(window, TRUE);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window)))
    gtk_widget_set_visual(window, rgba);
  float_window_set_level(window_.get(), WindowControl::kFloatingLevel);

  GtkWidget* layers = gtk_overlay_new();
  GdkRGBA clear{0, 0, 0, 0};
  webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(page_view_), &clear);
  gtk_container_add(GTK_CONTAINER(layers), page_view_);
  lock_button_ = NewLockButton();
  g_signal_connect(lock_button_, "clicked", G_CALLBACK(OnLockClicked), this);
  g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
  g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), this);
  revealer_ = gtk_revealer_new();
  gtk_revealer_set_transition_type(GTK_REVEALER(revealer_), GTK_REVEALER_TRANSITION_TYPE_CROSSFADE);
  gtk_revealer_set_transition_duration(GTK_REVEALER(revealer_), kFadeMs);
  gtk_widget_set_halign(revealer_, GTK_ALIGN_END);
  gtk_widget_set_valign(revealer_, GTK_ALIGN_END);
  gtk_widget_set_margin_end(revealer_, kLockMargin);
  gtk_widget_set_margin_bottom(revealer_, kLockMargin);
  gtk_container_add(GTK_CONTAINER(revealer_), lock_button_);
  gtk_overlay_add_overlay(GTK_OVERLAY(layers), revealer_);
  gtk_container_add(GTK_CONTAINER(window), layers);
  gtk_widget_show_all(layers);
  // The first frame, centred; the program then puts the window where it belongs (Place).
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
}

OverlayView::~OverlayView() {
  // Others may still hold the window: none of its signals may reach this object any more.
  g_signal_handlers_disconnect_by_data(lock_button_, this);
  g_signal_handlers_disconnect_by_data(window_.get(), this);
  gtk_widget_destroy(GTK_WIDGET(window_.get()));
}

gboolean OverlayView::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
  auto* view = static_cast<OverlayView*>(self);
  view->origin_x_ = event->x;
  view->origin_y_ = event->y;
  // A zoomed window is at the screen's corner; the place to come back to is not that.
  const bool screen_wide = event->width >= WorkAreaOf(GTK_WIDGET(view->window_.get())).width;
  if (view->Placed() && !view->zoomed_ && !screen_wide &&
      (std::pair(event->x, event->y) != view->asked_place_ || event->width != view->asked_width_)) {
    view->user_place_ = std::pair(event->x, event->y);
    view->asked_width_ = event->width;
    if (view->on_user_placed_)
      view->on_user_placed_({double(event->x), double(event->y), double(event->width), 0});
  }
  return FALSE;
}

void OverlayView::OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self) {
  static_cast<OverlayView*>(self)->RecordLockButton();
}

void OverlayView::OnLockClicked(GtkButton*, gpointer self) {
  static_cast<OverlayView*>(self)->on_lock_clicked_();
}

gboolean OverlayView::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  auto* view = static_cast<OverlayView*>(self);
  const bool zoomed = event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
  if (zoomed != view->zoomed_) {
    view->zoomed_ = zoomed;
    if (view->on_zoom_changed_)
      view->on_zoom_changed_(zoomed);
  }
  return FALSE;
}

gboolean OverlayView::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  // Escape is the way out of a zoomed overlay that everyone tries first.
  auto* view = static_cast<OverlayView*>(self);
  if (event->keyval != GDK_KEY_Escape || !view->zoomed_)
    return FALSE;
  gtk_window_unmaximize(GTK_WINDOW(view->window_.get()));
  return TRUE;
}

void OverlayView::RecordLockButton() {
  // Worked out from the window's size and the button's own size rather than read from the button:
  // the revealer leaves the button unallocated while it is hidden, and the tick needs the
  // rectangle exactly then, to open the input before the pointer reaches the button.
  GtkRequisition size{};
  gtk_widget_get_preferred_size(lock_button_, nullptr, &size);
  const double width = gtk_widget_get_allocated_width(GTK_WIDGET(window_.get()));
  const double height = gtk_widget_get_allocated_height(GTK_WIDGET(window_.get()));
  const double span_x = size.width + 2 * kLockMargin, span_y = size.height + 2 * kLockMargin;
  lock_rect_ = {width - span_x, height - span_y, span_x, span_y};
}

ScreenRect OverlayView::Frame() const {
  GtkWidget* window = GTK_WIDGET(window_.get());
  return {static_cast<double>(origin_x_), static_cast<double>(origin_y_),
          static_cast<double>(gtk_widget_get_allocated_width(window)),
          static_cast<double>(gtk_widget_get_allocated_height(window))};
}

void OverlayView::CheckOrigin() {
  if (GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window_.get())))
    gdk_window_get_origin(surface, &origin_x_, &origin_y_);
}

HoverLook OverlayView::Look() const {
  return {takes_input_, backdrop_, float_window_get_level(window_.get())};
}

void OverlayView::ShowLook(const HoverLook& look) {
  if (look.takes_input != takes_input_) {
    takes_input_ = look.takes_input;
    gtk_widget_input_shape_combine_region(GTK_WIDGET(window_.get()),
                                          takes_input_ ? nullptr : no_input_.get());
  }
  if (look.backdrop != backdrop_) {
    backdrop_ = look.backdrop;
    // The page's view paints its own background where the page leaves itself transparent, so
    // the backdrop is that background.
    const GdkRGBA colour{0, 0, 0, backdrop_};
    webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(page_view_), &colour);
    repaint_.Repaint();
  }
  if (look.level != float_window_get_level(window_.get())) {
    float_window_set_level(window_.get(), look.level);
    keep_above_.StackingChanged();
  }
  if (look.level > WindowControl::kFloatingLevel)
    keep_above_.Keep();
}

void OverlayView::RevealLockButton(bool revealed) {
  gtk_revealer_set_reveal_child(GTK_REVEALER(revealer_), revealed);
}

void OverlayView::ShowLocked(bool locked) {
  // The state notifies at every hover tick.
  if (locked == locked_)
    return;
  locked_ = locked;
  quensary::ShowLocked(lock_button_, locked);
}

void OverlayView::FitContentHeight(double height) {
  content_height_ = height;
  GtkWindow* window = GTK_WINDOW(window_.get());
  if (gtk_window_is_maximized(window))
    return;
  int x = 0, y = 0, w = 0, h = 0;
  gtk_window_get_position(window, &x, &y);
  gtk_window_get_size(window, &w, &h);
  // The page can load before the program has placed the window: its position then means
  // nothing yet, and moving there would later read as a place the user chose.
  if (!Placed()) {
    gtk_window_resize(window, w, static_cast<int>(std::lround(height)));
    return;
  }
  if (user_place_)
    std::tie(x, y) = *user_place_;
  const ScreenRect next = OverlayPageProtocol::FrameForContentHeight(
      {double(x), double(y), double(w), double(h)}, height, WorkAreaOf(GTK_WIDGET(window)));
  MoveTo(static_cast<int>(next.x), static_cast<int>(std::lround(next.y)));
  gtk_window_resize(window, w, static_cast<int>(std::lround(next.height)));
}

void OverlayView::Place(const ScreenRect& place) {
  asked_width_ = static_cast<int>(place.width);
  user_place_ = std::pair(static_cast<int>(place.x), static_cast<int>(place.y));
  int w = 0, h = 0;
  gtk_window_get_size(GTK_WINDOW(window_.get()), &w, &h);
  gtk_window_resize(GTK_WINDOW(window_.get()), asked_width_, h);
  MoveTo(user_place_->first, user_place_->second);
}

void OverlayView::MoveTo(int x, int y) {
  asked_place_ = {x, y};
  gtk_window_move(GTK_WINDOW(window_.get()), x, y);
}

void OverlayView::SetShown(bool shown) {
  if (shown)
    gtk_widget_show(GTK_WIDGET(window_.get()));
  else
    gtk_widget_hide(GTK_WIDGET(window_.get()));
}

}  // namespace quensary
