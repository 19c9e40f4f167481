#include "platform/x11/x11_fake_motion.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace quensary {

void X11FakeMotion(int x, int y) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display))
    return;
  Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
  XTestFakeMotionEvent(xdisplay, -1, x, y, CurrentTime);
  // GDK may not send its buffered requests for a while: the motion must reach the server now.
  XFlush(xdisplay);
}

}  // namespace quensary
