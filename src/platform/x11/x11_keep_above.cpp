#include "platform/x11/x11_keep_above.h"

// X11's headers define macros (None, Bool, Status) that clash with other headers: last.
#include <gdk/gdkx.h>

#include "platform/x11/x11_desktop.h"

namespace quensary {

X11KeepAbove::X11KeepAbove(GtkWidget* window) : window_(window) {
  GdkWindow* root = gdk_get_default_root_window();
  if (!GDK_IS_X11_WINDOW(root))
    return;
  desktop_ = X11Desktop::Connect();
  if (!desktop_)
    return;
  root_ = root;
  stacking_atom_ = gdk_x11_get_xatom_by_name("_NET_CLIENT_LIST_STACKING");
  gdk_window_set_events(
      root_, static_cast<GdkEventMask>(gdk_window_get_events(root_) | GDK_PROPERTY_CHANGE_MASK));
  gdk_window_add_filter(root_, OnRootEvent, this);
}

X11KeepAbove::~X11KeepAbove() {
  if (root_)
    gdk_window_remove_filter(root_, OnRootEvent, this);
}

GdkFilterReturn X11KeepAbove::OnRootEvent(GdkXEvent* xevent, GdkEvent*, gpointer self) {
  auto* keeper = static_cast<X11KeepAbove*>(self);
  const auto* event = static_cast<XEvent*>(xevent);
  if (event->type == PropertyNotify && event->xproperty.atom == keeper->stacking_atom_)
    keeper->stacking_changed_ = true;
  return GDK_FILTER_CONTINUE;
}

void X11KeepAbove::Keep() {
  if (!stacking_changed_)
    return;
  stacking_changed_ = false;
  GdkWindow* surface = gtk_widget_get_window(window_);
  if (!desktop_ || !surface || !GDK_IS_X11_WINDOW(surface) || !gtk_widget_get_mapped(window_))
    return;
  if (desktop_->KeptAboveOver(static_cast<uint32_t>(GDK_WINDOW_XID(surface))))
    gdk_window_raise(surface);
}

}  // namespace quensary
