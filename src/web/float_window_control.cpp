#include "web/float_window_control.h"

namespace quensary {

void FloatWindowControl::ToggleZoom() {
  GtkWindow* window = GTK_WINDOW(window_.get());
  if (gtk_window_is_maximized(window))
    gtk_window_unmaximize(window);
  else
    gtk_window_maximize(window);
}

}  // namespace quensary
