#include "overlay/desktop/float_hover_monitor.h"

// X11's headers define macros (None, Bool, Status) that clash with other headers: last.
#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <cmath>

#include "overlay/overlay_page_protocol.h"
#include "protocol/page_calls.h"
#include "protocol/page_words.h"
#include "protocol/window_command.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "web/float_window_control.h"
#include "web/transparent_view_repaint.h"
#include "web/web_obj_delegate.h"

namespace quensary {
namespace {

constexpr int kLockMargin = 16;
constexpr int kLockSymbolSize = 14;
constexpr guint kFadeMs = 200;
constexpr double kActiveBackdrop = 0.9;

constexpr char kLockButtonStyle[] =
    "button.lock { border-radius: 50%; background: rgba(0,0,0,0.5); padding: 10px; border: none;"
    " box-shadow: none; min-width: 0; min-height: 0; }";

// A white lock drawn in the button: a shackle over a body. Drawn rather than taken from an icon
// theme, so it shows the same on every desktop.
gboolean DrawLock(GtkWidget* area, cairo_t* cr, gpointer) {
  const double w = gtk_widget_get_allocated_width(area);
  const double h = gtk_widget_get_allocated_height(area);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, w * 0.14);
  cairo_arc(cr, w / 2, h * 0.42, w * 0.24, M_PI, 0);
  cairo_stroke(cr);
  cairo_rectangle(cr, w * 0.14, h * 0.42, w * 0.72, h * 0.56);
  cairo_fill(cr);
  return TRUE;
}

GdkFilterReturn OnRootEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
  const auto* event = static_cast<XEvent*>(xevent);
  static Atom stacking = None;
  if (stacking == None)
    stacking = gdk_x11_get_xatom_by_name("_NET_CLIENT_LIST_STACKING");
  if (event->type == PropertyNotify && event->xproperty.atom == stacking)
    *static_cast<bool*>(data) = true;
  return GDK_FILTER_CONTINUE;
}

}  // namespace

FloatHoverMonitor::FloatHoverMonitor(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                                     std::shared_ptr<SettingsStore> settings,
                                     std::shared_ptr<EnginePool> engines)
    : main_queue_(std::move(main_queue)),
      settings_(std::move(settings)),
      engines_(std::move(engines)) {
  // The monitor lives as long as the process: its callbacks may hold it by address.
  bus.Subscribe(RevealText(Sealed::EventLinesChanged), false, [this](const LnsMessage& message) {
    main_queue_->Post([this, text = message.str1] {
      page_->RunJs(JuziCall(Page::kOverlay, text));
      repaint_->Repaint();
    });
  });
  bus.Subscribe(RevealText(Sealed::EventSettingsChanged), false,
                [this](const LnsMessage&) { main_queue_->Post([this] { SendInit(); }); });

  page_ = std::make_shared<WebObj>(main_queue_);
  page_->PageUrl = RevealText(Sealed::OverlayPageAddress);
  page_->ProgramPagesOnly = true;
  page_->OnLoaded = [this] {
    grip_shown_ = false;  // a page loaded afresh shows no grip
    SendInit();
  };
  window_ = GObjectRef<FloatWindow>::Share(float_window_new());
  auto control = std::make_shared<FloatWindowControl>(window_.get());
  page_->Handlers[WordOf(PageHandler::kWindowCommand)] = [control](const std::string& word,
                                                                   const std::string&) {
    ApplyWindowCommand(*control, word);
  };
  page_->Handlers[WordOf(PageHandler::kContentHeight)] =
      [this](const std::string& text, const std::string&) { ContentHeight(text); };
  WebObjDelegate::Create(page_);

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
  BuildView();
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  no_input_.reset(cairo_region_create());

  // The level above every kept-above window is kept by raising the overlay again whenever the
  // desktop's stacking changes.
  GdkWindow* root = gdk_get_default_root_window();
  if (GDK_IS_X11_WINDOW(root)) {
    gdk_window_set_events(
        root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, OnRootEvent, &stacking_changed_);
  }
  g_timeout_add(
      kTickMs,
      [](gpointer data) -> gboolean {
        static_cast<FloatHoverMonitor*>(data)->HoverTick();
        return G_SOURCE_CONTINUE;
      },
      this);
}

void FloatHoverMonitor::BuildView() {
  GtkWidget* layers = gtk_overlay_new();
  GtkWidget* view = page_->Widget();
  GdkRGBA clear{0, 0, 0, 0};
  webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(view), &clear);
  gtk_container_add(GTK_CONTAINER(layers), view);
  repaint_ = std::make_unique<TransparentViewRepaint>(view);

  lock_button_ = gtk_button_new();
  gtk_widget_set_name(lock_button_, "lock");
  gtk_style_context_add_class(gtk_widget_get_style_context(lock_button_), "lock");
  auto css = GObjectRef<GtkCssProvider>::Adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), kLockButtonStyle, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(lock_button_),
                                 GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk_button_set_relief(GTK_BUTTON(lock_button_), GTK_RELIEF_NONE);
  GtkWidget* symbol = gtk_drawing_area_new();
  gtk_widget_set_size_request(symbol, kLockSymbolSize, kLockSymbolSize);
  g_signal_connect(symbol, "draw", G_CALLBACK(DrawLock), nullptr);
  gtk_container_add(GTK_CONTAINER(lock_button_), symbol);
  atk_object_set_name(gtk_widget_get_accessible(lock_button_), "Lock the subtitles");
  g_signal_connect(lock_button_, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                     auto& state = static_cast<FloatHoverMonitor*>(data)->state_;
                     state.SetIsLock(!state.IsLock());
                   }),
                   this);
  // Where the window is, kept from the window manager's notices: asking the X server on every
  // tick would cost a second round trip.
  g_signal_connect(window_.get(), "configure-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEventConfigure* event, gpointer data) -> gboolean {
                     auto* self = static_cast<FloatHoverMonitor*>(data);
                     self->origin_x_ = event->x;
                     self->origin_y_ = event->y;
                     return FALSE;
                   }),
                   this);
  g_signal_connect(window_.get(), "size-allocate",
                   G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer data) {
                     static_cast<FloatHoverMonitor*>(data)->RecordLockButton();
                   }),
                   this);

  revealer_ = gtk_revealer_new();
  gtk_revealer_set_transition_type(GTK_REVEALER(revealer_), GTK_REVEALER_TRANSITION_TYPE_CROSSFADE);
  gtk_revealer_set_transition_duration(GTK_REVEALER(revealer_), kFadeMs);
  gtk_widget_set_halign(revealer_, GTK_ALIGN_END);
  gtk_widget_set_valign(revealer_, GTK_ALIGN_END);
  gtk_widget_set_margin_end(revealer_, kLockMargin);
  gtk_widget_set_margin_bottom(revealer_, kLockMargin);
  gtk_container_add(GTK_CONTAINER(revealer_), lock_button_);
  gtk_overlay_add_overlay(GTK_OVERLAY(layers), revealer_);
  gtk_container_add(GTK_CONTAINER(window_.get()), layers);
  gtk_widget_show_all(layers);
  state_.Observe([this] {
    gtk_revealer_set_reveal_child(GTK_REVEALER(revealer_), state_.Inarea());
    // The page's grip shows while the window can be dragged by it.
    const bool grip = state_.Inarea() && !state_.IsLock();
    if (grip != grip_shown_) {
      grip_shown_ = grip;
      page_->RunJs(std::string("document.documentElement.classList.toggle('pointer-inside', ") +
                   (grip ? "true" : "false") + ")");
      repaint_->Repaint();
    }
  });
}

void FloatHoverMonitor::RecordLockButton() {
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

void FloatHoverMonitor::HoverTick() {
  GtkWidget* window = GTK_WIDGET(window_.get());
  GdkWindow* surface = gtk_widget_get_window(window);
  if (!surface)
    return;
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(window)));
  int px = 0, py = 0;
  gdk_device_get_position(pointer, nullptr, &px, &py);
  // Once a second the origin comes from the X server itself: a window manager that leaves out a
  // notice must not leave the hover area behind for good.
  if (++ticks_ % 5 == 0)
    gdk_window_get_origin(surface, &origin_x_, &origin_y_);
  const int wx = origin_x_, wy = origin_y_;
  const ScreenRect frame{static_cast<double>(wx), static_cast<double>(wy),
                         static_cast<double>(gtk_widget_get_allocated_width(window)),
                         static_cast<double>(gtk_widget_get_allocated_height(window))};
  const ScreenRect lock{wx + lock_rect_.x, wy + lock_rect_.y, lock_rect_.width, lock_rect_.height};
  bool inside = false;
  switch (DecideHover(px, py, frame, lock, state_.IsLock(), &inside)) {
    case HoverOutcome::kOpenInputOnly:
      ApplyHover(true, backdrop_, float_window_get_level(window_.get()));
      return;
    case HoverOutcome::kActive:
      state_.SetInarea(true);
      ApplyHover(true, kActiveBackdrop, WindowControl::kFloatingLevel);
      return;
    case HoverOutcome::kPassive:
      state_.SetInarea(inside);
      ApplyHover(false, 0, WindowControl::kTopLevel);
      return;
  }
}

void FloatHoverMonitor::ApplyHover(bool takes_input, double backdrop, int level) {
  GtkWidget* window = GTK_WIDGET(window_.get());
  // Only what changed touches the window: the tick runs five times a second for ever.
  if (takes_input != takes_input_) {
    takes_input_ = takes_input;
    gtk_widget_input_shape_combine_region(window, takes_input ? nullptr : no_input_.get());
  }
  if (backdrop != backdrop_) {
    backdrop_ = backdrop;
    // The page's view paints its own background where the page leaves itself transparent, so
    // the backdrop is that background.
    const GdkRGBA colour{0, 0, 0, backdrop};
    webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(page_->Widget()), &colour);
    repaint_->Repaint();
  }
  if (level != float_window_get_level(window_.get())) {
    float_window_set_level(window_.get(), level);
    stacking_changed_ = true;
  }
  if (level > WindowControl::kFloatingLevel && stacking_changed_)
    KeepAboveOthers();
}

void FloatHoverMonitor::KeepAboveOthers() {
  stacking_changed_ = false;
  GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window_.get()));
  if (!surface || !GDK_IS_X11_WINDOW(surface) || !gtk_widget_get_mapped(GTK_WIDGET(window_.get())))
    return;
  Display* display = GDK_WINDOW_XDISPLAY(surface);
  const Window own = GDK_WINDOW_XID(surface);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, DefaultRootWindow(display),
                         gdk_x11_get_xatom_by_name("_NET_CLIENT_LIST_STACKING"), 0, 4096, False,
                         XA_WINDOW, &type, &format, &count, &left, &data) != Success)
    return;
  const std::unique_ptr<unsigned char, decltype(&XFree)> stacking(data, &XFree);
  const auto* windows = reinterpret_cast<const Window*>(data);
  // Is any kept-above window of the desktop stacked over this one?
  bool above_own = false, seen_own = false;
  const Atom state_atom = gdk_x11_get_xatom_by_name("_NET_WM_STATE");
  const Atom above = gdk_x11_get_xatom_by_name("_NET_WM_STATE_ABOVE");
  for (unsigned long i = 0; data && format == 32 && i < count && !above_own; ++i) {
    seen_own = seen_own || windows[i] == own;
    if (!seen_own || windows[i] == own)
      continue;
    Atom state_type = None;
    int state_format = 0;
    unsigned long n = 0, rest = 0;
    unsigned char* states = nullptr;
    if (XGetWindowProperty(display, windows[i], state_atom, 0, 64, False, XA_ATOM, &state_type,
                           &state_format, &n, &rest, &states) != Success ||
        !states)
      continue;
    const std::unique_ptr<unsigned char, decltype(&XFree)> held(states, &XFree);
    for (unsigned long k = 0; k < n; ++k)
      above_own = above_own || reinterpret_cast<const Atom*>(states)[k] == above;
  }
  if (above_own)
    gdk_window_raise(surface);
}

void FloatHoverMonitor::SendInit() {
  const auto active = engines_->ActiveProfile();
  page_->RunJs(
      InitCall(Page::kOverlay, OverlayPageInitJson(*settings_, active ? active->Name : "")));
  repaint_->Repaint();
  if (OverlayPageProtocol::Visible(*settings_))
    gtk_widget_show(GTK_WIDGET(window_.get()));
  else
    gtk_widget_hide(GTK_WIDGET(window_.get()));
}

void FloatHoverMonitor::ContentHeight(const std::string& text) {
  GtkWindow* window = GTK_WINDOW(window_.get());
  if (gtk_window_is_maximized(window))
    return;
  const auto height = OverlayPageProtocol::ParseContentHeight(text);
  if (!height)
    return;
  int x = 0, y = 0, w = 0, h = 0;
  gtk_window_get_position(window, &x, &y);
  gtk_window_get_size(window, &w, &h);
  GdkRectangle area{0, 0, 0, 0};
  if (GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window)))
    gdk_monitor_get_workarea(
        gdk_display_get_monitor_at_window(gdk_window_get_display(surface), surface), &area);
  const ScreenRect next = OverlayPageProtocol::FrameForContentHeight(
      {double(x), double(y), double(w), double(h)}, *height,
      {double(area.x), double(area.y), double(area.width), double(area.height)});
  gtk_window_move(window, static_cast<int>(next.x), static_cast<int>(std::lround(next.y)));
  gtk_window_resize(window, w, static_cast<int>(std::lround(next.height)));
}

}  // namespace quensary
