#pragma once

#include <gtk/gtk.h>

namespace quensary {

// Keeps a web view with a see-through background free of ghosts. WebKitGTK 2.50 without
// hardware acceleration (a desktop without a GPU, a virtual machine, a headless display) lays
// each update of a transparent view over the previous frame instead of replacing it, so text that
// changes leaves its old glyphs behind and a backdrop that clears stays dark. A view that changes
// size starts again from a clear buffer, so Repaint gives the view a one-pixel change of height,
// at once and again after the page's short fades have ended. Main thread only; lives as long as
// the view.
class TransparentViewRepaint {
 public:
  explicit TransparentViewRepaint(GtkWidget* view) : view_(view) {}
  TransparentViewRepaint(const TransparentViewRepaint&) = delete;
  TransparentViewRepaint& operator=(const TransparentViewRepaint&) = delete;
  ~TransparentViewRepaint();

  // Call after anything that changes what the view shows.
  void Repaint();

 private:
  void Nudge();

  GtkWidget* view_;
  guint trailing_ = 0;
};

}  // namespace quensary
