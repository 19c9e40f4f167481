// FloatWindow and DragWebView under a real window manager, with the pointer driven by xdotool
// from another process: dragging moves the window only while IsDraf is set, the page still sees
// every left-button event, and the right button reaches neither the page nor a menu.

#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/web_page_wait.h"
#include "web/float_window.h"
#include "web/web_obj.h"

namespace quensary {
namespace {

using testing::LoopbackHttpServer;
using testing::RunLoopUntil;

// Reports every mouse event of the page, with its button, through the bridge.
constexpr char kMousePage[] = R"(<!DOCTYPE html><title>mouse</title>
<style>html, body { margin: 0; width: 100%; height: 100%; }</style>
<script>
for (const type of ['mousedown', 'mousemove', 'mouseup', 'click', 'auxclick', 'contextmenu'])
  document.addEventListener(type, e => MyJsBack('Mouse', type, String(e.button)));
</script>)";

constexpr int kWidth = 400;
constexpr int kHeight = 300;

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

class FloatWindowDrag : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<LoopbackHttpServer>();
    server_->ServeHtml("/mouse.html", kMousePage);
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    // Dragging, keep-above and iconifying need a window manager; the headless desktop runs one.
    ASSERT_STRNE(gdk_x11_screen_get_window_manager_name(gdk_screen_get_default()), "unknown");
    window_ = GTK_WIDGET(float_window_new());
    gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
    gtk_window_move(GTK_WINDOW(window_), 300, 200);

    auto counted = testing::OpenCountedPage(server_->Url("/mouse.html"));
    page_ = counted.page;
    page_->Handlers["Mouse"] = [events = events_](const std::string& type,
                                                  const std::string& button) {
      events->push_back(type + ":" + button);
    };
    gtk_container_add(GTK_CONTAINER(window_), page_->Widget());
    gtk_widget_show_all(window_);
    ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads > 0 && gtk_widget_get_mapped(window_); },
                             std::chrono::seconds(20)));
    // The page answers pointer motion once the window is really on screen under the pointer.
    const Point center = Center();
    ASSERT_TRUE(RunLoopUntil(
        [&] {
          Xdotool({"mousemove", std::to_string(center.x), std::to_string(center.y)});
          Xdotool({"mousemove", std::to_string(center.x + 1), std::to_string(center.y + 1)});
          return Saw("mousemove:0");
        },
        std::chrono::seconds(20)));
    events_->clear();
  }

  void TearDown() override {
    gtk_widget_destroy(window_);
    page_.reset();
  }

  static void Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    ASSERT_EQ(testing::RunToEnd(args), 0);
  }

  Point Origin() const {
    Point origin;
    gtk_window_get_position(GTK_WINDOW(window_), &origin.x, &origin.y);
    return origin;
  }
  Point Center() const {
    const Point origin = Origin();
    return {origin.x + kWidth / 2, origin.y + kHeight / 2};
  }

  bool Saw(const std::string& event) const {
    return std::find(events_->begin(), events_->end(), event) != events_->end();
  }

  // Presses the left button at the window's center, moves by (dx, dy) in several steps and
  // releases, all from another process.
  void Drag(int dx, int dy) {
    const Point from = Center();
    std::vector<std::string> args{"mousemove", std::to_string(from.x), std::to_string(from.y),
                                  "mousedown", "1"};
    for (int step = 1; step <= 4; ++step) {
      args.insert(args.end(), {"mousemove", std::to_string(from.x + dx * step / 4),
                               std::to_string(from.y + dy * step / 4), "sleep", "0.05"});
    }
    args.insert(args.end(), {"mouseup", "1"});
    Xdotool(args);
  }

  // Whether any window of this program besides the test window is showing (a menu would be).
  int OtherVisibleWindows() const {
    GList* windows = gtk_window_list_toplevels();
    int visible = 0;
    for (GList* item = windows; item; item = item->next) {
      auto* window = GTK_WIDGET(item->data);
      if (window != window_ && gtk_widget_get_visible(window))
        ++visible;
    }
    g_list_free(windows);  // the list only; its windows belong to GTK
    return visible;
  }

  static std::unique_ptr<LoopbackHttpServer> server_;
  GtkWidget* window_ = nullptr;
  std::shared_ptr<WebObj> page_;
  std::shared_ptr<std::vector<std::string>> events_ = std::make_shared<std::vector<std::string>>();
};

std::unique_ptr<LoopbackHttpServer> FloatWindowDrag::server_;

TEST_F(FloatWindowDrag, ADragMovesTheWindowByThePointersOffsetOnlyWhileIsDrafIsSet) {
  EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window_)));
  for (const bool is_draf : {false, true}) {
    float_window_set_is_draf(QUENSARY_FLOAT_WINDOW(window_), is_draf);
    events_->clear();
    const Point start = Origin();
    const Point expected = is_draf ? Point{start.x + 40, start.y + 10} : start;
    Drag(40, 10);
    // The page sees the whole drag either way; a round trip through it lets any move settle.
    ASSERT_TRUE(RunLoopUntil([&] { return Saw("mouseup:0") && Origin() == expected; },
                             std::chrono::seconds(10)));
    EXPECT_EQ(testing::AwaitScript(*page_, "'settled'"), "settled");
    EXPECT_EQ(Origin(), expected) << is_draf;
    EXPECT_TRUE(Saw("mousedown:0") && Saw("mousemove:0"));
  }
  // Released: moving the pointer again leaves the window where it is.
  const Point moved = Origin();
  events_->clear();
  Xdotool({"mousemove", std::to_string(Center().x + 30), std::to_string(Center().y + 20)});
  ASSERT_TRUE(RunLoopUntil([&] { return Saw("mousemove:0"); }));
  EXPECT_EQ(Origin(), moved);
}

TEST_F(FloatWindowDrag, ARightClickReachesNeitherThePageNorAMenu) {
  const int windows_before = OtherVisibleWindows();
  const Point center = Center();
  Xdotool({"mousemove", std::to_string(center.x), std::to_string(center.y), "click", "3"});
  // A left click afterwards: once the page has seen it, it would have seen the right one.
  Xdotool({"click", "1"});
  ASSERT_TRUE(RunLoopUntil([&] { return Saw("click:0"); }, std::chrono::seconds(10)));
  testing::RunLoopFor(std::chrono::milliseconds(100));
  for (const auto& event : *events_)
    EXPECT_EQ(event.substr(event.find(':')), ":0") << event;
  EXPECT_FALSE(Saw("contextmenu:2"));
  EXPECT_EQ(OtherVisibleWindows(), windows_before);
}

}  // namespace
}  // namespace quensary
