#include "web/transparent_view_repaint.h"

namespace quensary {
namespace {

// Longer than the page's fades (150 ms), so the trailing repaint shows where they ended.
constexpr guint kTrailingMs = 250;

}  // namespace

TransparentViewRepaint::~TransparentViewRepaint() {
  if (trailing_)
    g_source_remove(trailing_);
}

void TransparentViewRepaint::Repaint() {
  Nudge();
  if (trailing_)
    g_source_remove(trailing_);
  trailing_ = g_timeout_add(
      kTrailingMs,
      [](gpointer data) -> gboolean {
        auto* self = static_cast<TransparentViewRepaint*>(data);
        self->trailing_ = 0;
        self->Nudge();
        return G_SOURCE_REMOVE;
      },
      this);
}

void TransparentViewRepaint::Nudge() {
  // The bottom pixel row of the view is the page's empty gap, so it may come and go.
  gtk_widget_set_margin_bottom(view_, gtk_widget_get_margin_bottom(view_) == 0 ? 1 : 0);
}

}  // namespace quensary
