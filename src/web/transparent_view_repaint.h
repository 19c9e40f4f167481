#pragma once

#include <gtk/gtk.h>

namespace quensary {

// Keeps a web view with a see-through background free of ghosts. WebKitGTK 2.50 without
// hardware acceleration (a desktop without a GPU, a virtual machine, a headless display) lays
// each update of a transparent view over the previous frame instead of replacing it, so text that
// changes leaves its old glyphs behind and a backdrop that clears stays dark. A view that changes
// size starts again from a clear buffer, so a repaint gives the view a one-pixel change of
// height, at most once a frame. With hardware acceleration the view is left alone. Main thread
// only; lives as long as the view.
class TransparentViewRepaint {
 public:
  explicit TransparentViewRepaint(GtkWidget* view) : view_(view) {}
  TransparentViewRepaint(const TransparentViewRepaint&) = delete;
  TransparentViewRepaint& operator=(const TransparentViewRepaint&) = delete;
  ~TransparentViewRepaint();

  // After a change that may leave marks, including fades that run on (150 ms at most): a clear
  // frame at once and again once they have ended.
  void Repaint();
  // After a change without fades over see-through pixels: one clear frame.
  void RepaintOnce();

 private:
  bool Needed() const;
  void Nudge();

  GtkWidget* view_;
  guint trailing_ = 0;
  guint tick_ = 0;
};

}  // namespace quensary
