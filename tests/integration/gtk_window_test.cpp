// Proves the headless desktop: a GTK window can be mapped and the window manager manages it.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "support/main_loop_wait.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;

TEST(HeadlessDesktop, GtkWindowIsMapped) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 320, 200);
  bool mapped = false;
  g_signal_connect(window, "map-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) {
                     *static_cast<bool*>(data) = true;
                     return FALSE;
                   }),
                   &mapped);
  gtk_widget_show_all(window);
  ASSERT_TRUE(RunLoopUntil([&] { return mapped; }));
  EXPECT_TRUE(gtk_widget_get_mapped(window));
  EXPECT_TRUE(GDK_IS_X11_DISPLAY(gdk_display_get_default()));
  gtk_widget_destroy(window);
}

TEST(HeadlessDesktop, WindowManagerIsRunning) {
  // Keep-above, iconify and maximize only work under a window manager; later tests rely on it.
  GdkScreen* screen = gdk_screen_get_default();
  const char* name = gdk_x11_screen_get_window_manager_name(screen);
  ASSERT_NE(name, nullptr);
  EXPECT_STRNE(name, "unknown");
}

}  // namespace
}  // namespace quensary
