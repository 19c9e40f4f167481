#pragma once

#include "platform/glib/gobject_ref.h"
#include "platform/window_control.h"
#include "web/float_window.h"

namespace quensary {

// A page's window commands applied to the FloatWindow that shows it. Main thread only.
class FloatWindowControl final : public WindowControl {
 public:
  explicit FloatWindowControl(FloatWindow* window)
      : window_(GObjectRef<FloatWindow>::Share(window)) {}

  void Minimize() override { gtk_window_iconify(GTK_WINDOW(window_.get())); }
  void ToggleZoom() override;
  void SetLevel(int level) override { float_window_set_level(window_.get(), level); }
  void SetDragging(bool dragging) override { float_window_set_is_draf(window_.get(), dragging); }

 private:
  GObjectRef<FloatWindow> window_;
};

}  // namespace quensary
