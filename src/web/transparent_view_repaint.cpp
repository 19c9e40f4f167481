#include "web/transparent_view_repaint.h"

#include <webkit2/webkit2.h>

namespace quensary {
namespace {

// Longer than the page's fades (150 ms), so the trailing repaint shows where they ended.
constexpr guint kTrailingMs = 250;

}  // namespace

TransparentViewRepaint::~TransparentViewRepaint() {
  if (trailing_)
    g_source_remove(trailing_);
  if (tick_)
    gtk_widget_remove_tick_callback(view_, tick_);
}

void TransparentViewRepaint::Repaint() {
  if (!Needed())
    return;
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

void TransparentViewRepaint::RepaintOnce() {
  if (Needed())
    Nudge();
}

bool TransparentViewRepaint::Needed() const {
  // WebKit turns the policy to "never" where the desktop offers no hardware acceleration.
  return webkit_settings_get_hardware_acceleration_policy(webkit_web_view_get_settings(
             WEBKIT_WEB_VIEW(view_))) == WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER;
}

void TransparentViewRepaint::Nudge() {
  // Changes within one frame share its clear buffer; two changes of height in one frame would
  // also cancel out before the view is laid out.
  if (tick_)
    return;
  tick_ = gtk_widget_add_tick_callback(
      view_,
      [](GtkWidget* view, GdkFrameClock*, gpointer data) -> gboolean {
        static_cast<TransparentViewRepaint*>(data)->tick_ = 0;
        // The bottom pixel row of the view is the page's empty gap, so it may come and go.
        gtk_widget_set_margin_bottom(view, gtk_widget_get_margin_bottom(view) == 0 ? 1 : 0);
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

}  // namespace quensary
