#pragma once

#include <gtk/gtk.h>

#include <memory>

namespace quensary {

class X11Desktop;

// Keeps a GTK window over every other kept-above window of the desktop. The window manager puts
// all kept-above windows in one layer and stacks them among themselves by when they were raised,
// so the window is raised again whenever the desktop's stacking has changed and a kept-above
// window has come over it. Does nothing off X11. Main thread only.
class X11KeepAbove {
 public:
  // `window` must outlive the object.
  explicit X11KeepAbove(GtkWidget* window);
  ~X11KeepAbove();
  X11KeepAbove(const X11KeepAbove&) = delete;
  X11KeepAbove& operator=(const X11KeepAbove&) = delete;

  // The next Keep looks at the stacking again, as after a change of the window's own level.
  void StackingChanged() { stacking_changed_ = true; }
  // Raises the window when a kept-above window stands over it. Looks at the desktop only when its
  // stacking has changed since the last look: the window manager announces every change.
  void Keep();

 private:
  static GdkFilterReturn OnRootEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);

  GtkWidget* window_;
  // The desktop as the X server tells it, on a connection of its own; null off X11. Not GDK's
  // connection: a window that closes between the reads of the stacking list and of its state
  // would raise an X error there, and GDK ends the process on one it was not told to expect.
  std::shared_ptr<X11Desktop> desktop_;
  // The root window, watched for changes of its stacking list; null off X11.
  GdkWindow* root_ = nullptr;
  unsigned long stacking_atom_ = 0;
  bool stacking_changed_ = true;
};

}  // namespace quensary
