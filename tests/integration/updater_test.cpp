// The update check against feeds on loopback, on the real main loop: only a newer version opens
// the update window, raised and kept above after 2.0 s; anything else opens nothing and the loop
// never waits for the network; nothing is fetched before 0.5 s.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <gdk/gdkx.h>

#include <cstdlib>

#include "platform/glib/glib_ptr.h"
#include "support/child_process.h"
#include "support/desktop/updater.h"
#include "support/literal_vault.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;

GtkWidget* UpdateWindow() {
  const GListPtr windows(gtk_window_list_toplevels());
  for (GList* item = windows.get(); item; item = item->next)
    if (RevealText(Sealed::UpdateWindowIdentifier) == gtk_widget_get_name(GTK_WIDGET(item->data)))
      return GTK_WIDGET(item->data);
  return nullptr;
}

std::string Feed(const std::string& version, const std::string& notes = "") {
  return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">)"
         R"(<channel><item><sparkle:version>)" +
         version + R"(</sparkle:version><link>https://example.invalid/</link><description>)" +
         notes + R"(</description></item></channel></rss>)";
}

TEST(Updater, OnlyANewerVersionOpensTheWindowRaisedAndKeptAboveAfterTwoSeconds) {
  testing::LoopbackHttpServer server;
  server.ServeHtml("/newer", Feed("1.2.10"));
  server.ServeHtml("/same", Feed("1.2.3"));
  server.ServeHtml("/broken", "<rss><channel><item>");
  // Notes that would take a wrapping label many seconds to lay out, and a body past the limit.
  server.ServeHtml("/long-notes", Feed("1.2.10", std::string(900 * 1024, 'w') + " end"));
  server.ServeHtml("/huge", Feed("1.2.10", std::string(Appcast::kMaxFeedBytes, 'w')));
  server.Serve("/silent", testing::LoopbackHttpServer::Reply::Page("", 0));

  const struct {
    std::string path;
    bool opens;
  } cases[] = {{"/newer", true},   {"/long-notes", true}, {"/same", false},  {"/missing", false},
               {"/broken", false}, {"/huge", false},      {"/silent", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    setenv("QUENSARY_APPCAST_URL", server.Url(c.path).c_str(), 1);
    const int hits = server.Hits(c.path);
    const auto scheduled = std::chrono::steady_clock::now();
    Updater::ScheduleCheck("1.2.3");
    ASSERT_TRUE(RunLoopUntil([&] { return server.Hits(c.path) > hits; }));
    EXPECT_GE(std::chrono::steady_clock::now() - scheduled, std::chrono::milliseconds(500));
    if (c.opens) {
      ASSERT_TRUE(
          RunLoopUntil([] { return UpdateWindow() && gtk_widget_get_mapped(UpdateWindow()); }));
      // Raised when the 2.0 s have passed, and kept above by the window manager.
      const std::string id = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(UpdateWindow())));
      EXPECT_TRUE(RunLoopUntil([&] {
        std::string state;
        testing::RunToEnd({"xprop", "-id", id, "_NET_WM_STATE"}, std::chrono::seconds(5), &state);
        return state.find("_NET_WM_STATE_ABOVE") != std::string::npos;
      }));
      gtk_widget_destroy(UpdateWindow());
    } else {
      // Past the raise at 2.0 s, the main loop running all along: no window.
      testing::RunLoopFor(std::chrono::milliseconds(Updater::kRaiseDelayMs + 300));
      EXPECT_EQ(UpdateWindow(), nullptr);
    }
  }
}

}  // namespace
}  // namespace quensary
