// The floating overlay made by the program's own window setup, under openbox and a compositor,
// with the pointer driven by xdotool: click-through, hover, lock, drag, the page protocol, and
// staying above every kept-above window.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

#include "app/program.h"
#include "bus/bus_events.h"
#include "support/child_process.h"
#include "support/main_loop_wait.h"
#include "support/program_under_test.h"
#include "support/web_page_wait.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;
using testing::TheProgram;
using testing::Xdotool;

class OverlayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Program& program = TheProgram();
    program.settings->SetShowTranslation(true);
    Publish(*program.bus, SettingsChanged{});
    // The overlay over a plain, light window that counts the clicks reaching it; the main
    // window out of the way.
    below_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(below_), 1920, 380);
    gtk_window_move(GTK_WINDOW(below_), 0, 700);
    g_signal_connect(below_, "button-press-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) {
                       ++clicks_below_;
                       return FALSE;
                     }),
                     nullptr);
    gtk_widget_show_all(below_);
    ASSERT_TRUE(RunLoopUntil(
        [] {
          return gtk_widget_get_mapped(GTK_WIDGET(Window())) && Js("typeof Juzi") == "function";
        },
        std::chrono::seconds(30)));
    gtk_window_move(GTK_WINDOW(program.MainWindow), 1080, 0);
    gtk_window_move(GTK_WINDOW(Window()), 50, 760);
    // Start-up ends with the main page's Init, which restores the history's latest lines and
    // publishes the list (to the overlay, only this session's lines). Until that has reached the
    // overlay, its content, and with it its height, may still change under a test that has
    // picked its points on the window.
    ASSERT_TRUE(RunLoopUntil(
        [] {
          return testing::PageText(*TheProgram().MainCtrl->MainPage(), "version.textContent")
                     .find(ProgramVersion()) != std::string::npos;
        },
        std::chrono::seconds(30)));
    ASSERT_TRUE(program.history->Flush(std::chrono::seconds(10)));
    program.bus->WaitIdle();
    bool delivered = false;
    program.main_queue->Post([&] { delivered = true; });
    ASSERT_TRUE(RunLoopUntil([&] { return delivered; }));
    // The window has taken the height the empty page asks for, far below the default one.
    ASSERT_TRUE(RunLoopUntil([] { return Frame().height < OverlayView::kHeight; }));
  }
  static FloatHoverMonitor& Monitor() { return *TheProgram().OverlayMonitor; }
  static FloatWindow* Window() { return Monitor().OverlayWindow(); }
  static std::string Js(const std::string& script) {
    return testing::PageText(*Monitor().OverlayWebObj(), script);
  }
  static ScreenRect Frame() {
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(Window())), &x, &y);
    return {double(x), double(y), double(gtk_widget_get_allocated_width(GTK_WIDGET(Window()))),
            double(gtk_widget_get_allocated_height(GTK_WIDGET(Window())))};
  }
  static bool MoveTo(double x, double y) {
    return Xdotool({"mousemove", std::to_string(int(x)), std::to_string(int(y))});
  }
  // Hovering: dark backdrop, takes clicks, level 3; passive: clear, click-through, level 1000.
  static ::testing::AssertionResult Hovered(bool hovered) {
    if (RunLoopUntil([&] {
          return Monitor().TakesInput() == hovered && (Monitor().BackdropAlpha() > 0) == hovered &&
                 float_window_get_level(Window()) == (hovered ? 3 : 1000) &&
                 Monitor().state().Inarea() == hovered;
        }))
      return ::testing::AssertionSuccess();
    const ScreenRect frame = Frame();
    return ::testing::AssertionFailure()
           << "input " << Monitor().TakesInput() << ", backdrop " << Monitor().BackdropAlpha()
           << ", level " << float_window_get_level(Window()) << ", Inarea "
           << Monitor().state().Inarea() << ", frame " << frame.x << "," << frame.y << " "
           << frame.width << "x" << frame.height;
  }
  // The brightness of the screen at a point, or the mean of an area from there, 0 to 255.
  static int Brightness(double x, double y, int width = 1, int height = 1) {
    std::string pixel;
    testing::RunToEnd({"import", "-window", "root", "-crop",
                       std::to_string(width) + "x" + std::to_string(height) + "+" +
                           std::to_string(int(x)) + "+" + std::to_string(int(y)),
                       "-colorspace", "Gray", "-format", "%[fx:int(255*mean)]", "info:"},
                      std::chrono::seconds(20), &pixel);
    return std::atoi(pixel.c_str());
  }
  // Whether the window manager stacks `upper` over `lower`. Read straight from the X server,
  // without running the main loop.
  static bool StackedOver(GtkWidget* upper, GtkWidget* lower) {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display),
                       XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False), 0, 4096, False,
                       XA_WINDOW, &type, &format, &count, &left, &data);
    const std::unique_ptr<unsigned char, decltype(&XFree)> held(data, &XFree);
    const auto* windows = reinterpret_cast<const ::Window*>(data);
    const std::vector<::Window> order(windows, windows + (data && format == 32 ? count : 0));
    const auto at = [&](GtkWidget* widget) {
      return std::find(order.begin(), order.end(), GDK_WINDOW_XID(gtk_widget_get_window(widget)));
    };
    return at(lower) < at(upper) && at(upper) != order.end();
  }
  // The grip's centre on the screen, for the window at `frame`.
  static std::pair<int, int> GripCentre(const ScreenRect& frame) {
    return testing::ElementCentre(*Monitor().OverlayWebObj(), "#grip", int(frame.x), int(frame.y));
  }
  // The window's place and size as the X server has them.
  static ScreenRect ServerFrame() {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    const ::Window xid = GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(Window())));
    ::Window root = 0, child = 0;
    int x = 0, y = 0, rx = 0, ry = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(display, xid, &root, &x, &y, &w, &h, &border, &depth);
    XTranslateCoordinates(display, xid, root, 0, 0, &rx, &ry, &child);
    return {double(rx), double(ry), double(w), double(h)};
  }
  static std::string LockName() {
    return atk_object_get_name(gtk_widget_get_accessible(Monitor().LockButton()));
  }

  static inline GtkWidget* below_ = nullptr;
  static inline int clicks_below_ = 0;
};

TEST_F(OverlayTest, ItPassesClicksThroughTurnsDarkAndClickableUnderThePointerAndLocks) {
  TheProgram().MainCtrl->MainPage()->RunJs("1");  // nothing shown behind the test window
  const std::string line =
      R"(Juzi([{"Id":"0","Ori":"Good morning.","Finish":true,"Tar":"Buenos días."},)"
      R"({"Id":"1","Ori":"The weather is fine today.","Finish":true,"Tar":"Hoy hace buen tiempo."}]))";
  ASSERT_TRUE(MoveTo(5, 5));
  ASSERT_TRUE(Hovered(false));
  // The points below are picked on the window once it has grown to fit the line. Lines the
  // program itself still publishes at start-up may replace the test's, which is then sent again.
  // The size is the X server's: GTK's own record of the toplevel's size can lag behind it.
  double empty_height = ServerFrame().height;
  ASSERT_TRUE(RunLoopUntil([&] {
    const ScreenRect now = ServerFrame();
    empty_height = std::min(empty_height, now.height);
    if (now.height <= empty_height)
      Monitor().OverlayWebObj()->RunJs(line);
    return now.x == 50 && now.y == 760 && now.height > empty_height;
  }));
  const ScreenRect frame = ServerFrame();
  const double mx = frame.x + 30, my = frame.y + frame.height - 10;  // inside, away from the text
  // The screen follows the window's state a little later: idle, the overlay shows the window
  // below just as it is beside the overlay.
  const int clear = Brightness(frame.x + frame.width + 30, my);
  EXPECT_TRUE(RunLoopUntil([&] { return Brightness(mx, my) == clear; })) << "see-through idle";
  testing::Screenshot("overlay-idle.png");
  ASSERT_TRUE(MoveTo(mx, my));
  ASSERT_TRUE(Hovered(true));
  EXPECT_TRUE(RunLoopUntil([&] { return Brightness(mx, my) < clear / 2; })) << "the dark backdrop";
  testing::Screenshot("overlay-hovered.png");

  // Locked: clear and click-through under the pointer, but the lock button stays clickable.
  ASSERT_TRUE(RunLoopUntil([] { return Monitor().LockButtonRect().width > 0; }));
  const ScreenRect lock = Monitor().LockButtonRect();
  const double lx = frame.x + lock.x + lock.width / 2, ly = frame.y + lock.y + lock.height / 2;
  EXPECT_EQ(LockName(), "Lock the subtitles");
  ASSERT_TRUE(
      Xdotool({"mousemove", std::to_string(int(lx)), std::to_string(int(ly)), "click", "1"}));
  ASSERT_TRUE(RunLoopUntil([] { return Monitor().state().IsLock(); }));
  EXPECT_EQ(LockName(), "Unlock the subtitles");
  ASSERT_TRUE(MoveTo(mx, my));
  ASSERT_TRUE(
      RunLoopUntil([] { return !Monitor().TakesInput() && Monitor().BackdropAlpha() == 0; }));
  const int before = clicks_below_;
  ASSERT_TRUE(Xdotool({"click", "1"}));
  EXPECT_TRUE(RunLoopUntil([&] { return clicks_below_ > before; }))
      << "the click reached the window below";
  testing::Screenshot("overlay-locked.png");  // the lock shows its state
  // Over the lock button the input opens on the next tick.
  ASSERT_TRUE(MoveTo(lx, ly));
  ASSERT_TRUE(RunLoopUntil([] { return Monitor().TakesInput(); }));
  ASSERT_TRUE(Xdotool({"click", "1"}));
  ASSERT_TRUE(RunLoopUntil([] { return !Monitor().state().IsLock(); }));
  EXPECT_EQ(LockName(), "Lock the subtitles");
  ASSERT_TRUE(MoveTo(5, 5));
  ASSERT_TRUE(Hovered(false));
  EXPECT_TRUE(RunLoopUntil([&] { return Brightness(mx, my) == clear; }))
      << "no dark trace left behind";
}

TEST_F(OverlayTest, ItStaysAboveTheMainWindowKeptOnTop) {
  // The main window kept on top and raised: the overlay is raised above it again.
  TheProgram().MainCtrl->MainPage()->Handlers.at("set-setting")("main-window-on-top", "1");
  gtk_window_present(GTK_WINDOW(TheProgram().MainWindow));
  ASSERT_TRUE(MoveTo(5, 5));
  GtkWidget* main = GTK_WIDGET(TheProgram().MainWindow);
  GtkWidget* overlay = GTK_WIDGET(Window());
  EXPECT_TRUE(RunLoopUntil([&] {
    return StackedOver(overlay, main) && float_window_get_level(TheProgram().MainWindow) == 3;
  }));

  // Raised once more while the overlay keeps its level: only the desktop's change of stacking
  // can bring the overlay back over it. The main loop stands still until the window manager has
  // raised the main window, so the overlay cannot answer before that is seen.
  gdk_window_raise(gtk_widget_get_window(main));
  gdk_display_flush(gdk_display_get_default());
  bool main_over = false;
  for (int i = 0; i < 100 && !main_over; ++i) {
    g_usleep(20'000);
    main_over = StackedOver(main, overlay);
  }
  ASSERT_TRUE(main_over);
  EXPECT_TRUE(RunLoopUntil([&] { return StackedOver(overlay, main); }));
  TheProgram().MainCtrl->MainPage()->Handlers.at("set-setting")("main-window-on-top", "0");
}

TEST_F(OverlayTest, ADoubleClickEndingADragDoesNotZoomZoomedOnlyTheTextTakesThePointer) {
  Monitor().OverlayWebObj()->RunJs(
      R"(Juzi([{"Id":"9","Ori":"Zoom in.","Finish":true,"Tar":"Acercar."}]))");
  const ScreenRect frame = ServerFrame();
  ASSERT_TRUE(MoveTo(frame.x + frame.width / 2, frame.y + 5));
  ASSERT_TRUE(Hovered(true));
  const auto [gx, gy] = GripCentre(frame);
  // The grip drags the window. A quick drag ended by a click: to the page, whose grip stays under
  // the pointer, that is a double click.
  const std::string x0 = std::to_string(gx), y0 = std::to_string(gy);
  ASSERT_TRUE(Xdotool({"mousemove", x0, y0, "mousedown", "1", "sleep", "0.05", "mousemove",
                       std::to_string(gx + 40), std::to_string(gy + 20), "sleep", "0.05", "mouseup",
                       "1", "click", "1"}));
  ASSERT_TRUE(RunLoopUntil(
      [&] { return ServerFrame().x == frame.x + 40 && ServerFrame().y == frame.y + 20; }));
  Js("0");  // the page has sent whatever those clicks made it send
  ASSERT_TRUE(MoveTo(5, 5));
  ASSERT_TRUE(Hovered(false));
  EXPECT_FALSE(Monitor().Zoomed());
  EXPECT_EQ(ServerFrame().width, frame.width);

  // A double click zooms; only the strip of text takes the pointer, darkened behind the text.
  const ScreenRect moved = ServerFrame();
  const auto [mx, my] = GripCentre(moved);  // the page is laid out anew only later after a zoom
  const auto zoom = [&] {
    return MoveTo(mx, my) && Hovered(true) && Xdotool({"click", "--repeat", "2", "1"}) &&
           RunLoopUntil([] {
             return Monitor().Zoomed() && ServerFrame().width == 1920 && Js("innerWidth") == "1920";
           });
  };
  ASSERT_TRUE(zoom());
  ASSERT_TRUE(MoveTo(960, 60));
  ASSERT_TRUE(RunLoopUntil([] {
    return Monitor().state().Inarea() && Monitor().TakesInput() && Monitor().BackdropAlpha() == 0;
  }));
  // The test's light window below shows without a backdrop over it.
  EXPECT_TRUE(RunLoopUntil([&] { return Brightness(960, 900) > 200; }));
  testing::Screenshot("overlay-zoomed-under-the-pointer.png");
  // The rest of the screen takes clicks. The grip un-zooms with one click, and so does Escape,
  // which goes to the overlay after a double click on it; the window is back where it was.
  ASSERT_TRUE(MoveTo(960, 1000));
  ASSERT_TRUE(RunLoopUntil([] { return !Monitor().state().Inarea() && !Monitor().TakesInput(); }));
  const int before = clicks_below_;
  ASSERT_TRUE(Xdotool({"click", "1"}));
  EXPECT_TRUE(RunLoopUntil([&] { return clicks_below_ > before; })) << "the desktop stays usable";
  const auto [zx, zy] = GripCentre(ServerFrame());
  ASSERT_TRUE(MoveTo(zx, zy) && RunLoopUntil([] { return Monitor().TakesInput(); }));
  ASSERT_TRUE(Xdotool({"click", "1"}));
  const auto back = [&] {
    const ScreenRect now = ServerFrame();
    return !Monitor().Zoomed() && now.x == moved.x && now.y == moved.y && now.width == moved.width;
  };
  EXPECT_TRUE(RunLoopUntil(back));
  ASSERT_TRUE(zoom());
  ASSERT_TRUE(Xdotool({"key", "Escape"}));
  EXPECT_TRUE(RunLoopUntil(back));
  ASSERT_TRUE(MoveTo(5, 5));
  ASSERT_TRUE(Hovered(false));
}

TEST_F(OverlayTest, ALongSentenceShowsItsNewestLinesAndTheWindowReturnsToItsPlaceAfter) {
  Program& program = TheProgram();
  program.settings->SetShowOriginal(true);
  Monitor().SendInit();
  gtk_window_move(GTK_WINDOW(Window()), 50, 980);  // the user's place, near the bottom
  ASSERT_TRUE(RunLoopUntil([] { return ServerFrame().y == 980; }));
  std::string words;
  for (int i = 0; i < 100; ++i)
    words += "word" + std::to_string(i) + " ";
  Monitor().OverlayWebObj()->RunJs(R"(Juzi([{"Id":"20","Ori":")" + words +
                                   R"(end","Finish":false,)" + R"("Tar":")" + words + R"(fin"}]))");
  const auto bottom = [] { return ServerFrame().y + ServerFrame().height; };
  ASSERT_TRUE(RunLoopUntil([&] { return ServerFrame().y < 980 && bottom() == 1080; }));
  EXPECT_LT(ServerFrame().height, 200);
  // The newest words are the ones in view.
  EXPECT_EQ(Js(R"((() => {
    const text = document.querySelector('#subtitles .line:last-child .tar');
    const range = document.createRange();
    range.setStart(text.firstChild, text.firstChild.length - 3);
    range.setEnd(text.firstChild, text.firstChild.length);
    const last = range.getBoundingClientRect(), box = text.getBoundingClientRect();
    return last.top >= box.top && last.bottom <= box.bottom + 1;
  })())"),
            "true");
  const ScreenRect tall = ServerFrame();
  EXPECT_TRUE(
      RunLoopUntil([&] { return Brightness(tall.x + 200, tall.y + tall.height - 20) < 150; }));
  testing::Screenshot("overlay-long-sentence.png");
  Monitor().OverlayWebObj()->RunJs(
      R"(Juzi([{"Id":"21","Ori":"Short.","Finish":true,"Tar":"Corto."}]))");
  EXPECT_TRUE(RunLoopUntil([] { return ServerFrame().y == 980; })) << ServerFrame().y;
  program.settings->SetShowOriginal(false);
  Monitor().SendInit();
}

// Over a see-through panel the view shows through to its earlier frames unless cleared: a line
// that the bus replaces leaves none of its glyphs, and the panel keeps one shade throughout.
TEST_F(OverlayTest, AReplacedLineLeavesNoGhostOnASeeThroughPanel) {
  TheProgram().settings->SetOverlayOpacity(60);
  Monitor().SendInit();
  ASSERT_TRUE(MoveTo(5, 5) && Hovered(false));
  const auto show = [](const std::string& tar) {
    Publish(*TheProgram().bus,
            LinesChanged{R"([{"Id":"40","Ori":"","Finish":true,"Tar":")" + tar + R"("}])",
                         std::nullopt});
    return RunLoopUntil([&] { return Js("subtitles.textContent") == tar; });
  };
  ASSERT_TRUE(show("Wide words, soon to be replaced by nothing."));
  const auto text = nlohmann::json::parse(Js("JSON.stringify(subtitles.getBoundingClientRect())"));
  const double x = ServerFrame().x + text["x"].get<double>(),
               y = ServerFrame().y + text["y"].get<double>() + 16;  // the glyphs' middle
  const auto glyphs = [&] { return Brightness(x + 14, y, 120, 8); };
  const auto panel = [&] { return Brightness(x + 2, y, 8, 8); };
  ASSERT_TRUE(RunLoopUntil([&] { return glyphs() > panel() + 20; }));
  std::string blank;  // as wide, with no glyph but its last
  for (int i = 0; i < 40; ++i)
    blank += "\xC2\xA0";
  ASSERT_TRUE(show(blank + "."));
  EXPECT_TRUE(RunLoopUntil([&] { return glyphs() == panel(); })) << glyphs() << " " << panel();
  testing::Screenshot("overlay-replaced-line.png");
  TheProgram().settings->SetOverlayOpacity(100);
  Monitor().SendInit();
}

TEST_F(OverlayTest, ThePageShowsLinesByItsSwitchesAndHidesWithBothOff) {
  Program& program = TheProgram();
  const auto shown = [] {
    return Js(
        "[...document.querySelectorAll('#subtitles .ori, #subtitles .tar')]"
        ".filter(e => e.offsetParent).map(e => e.textContent).join('|')");
  };
  program.settings->SetShowOriginal(true);
  Monitor().SendInit();
  // Each text takes its own direction; the panel's opacity is the setting's, 100 % solid.
  Monitor().OverlayWebObj()->RunJs(
      R"(Juzi([{"Id":"3","Ori":"Hi.","Finish":true,"Tar":"مرحبا."}]))");
  ASSERT_TRUE(RunLoopUntil([&] { return shown() == "Hi.|مرحبا."; })) << shown();
  EXPECT_EQ(
      Js("[...document.querySelectorAll('.line > *')].map(e => getComputedStyle(e).direction)"),
      "ltr,rtl");
  for (const auto& [percent, colour] :
       {std::pair(40, "rgba(0, 0, 0, 0.4)"), std::pair(100, "rgb(0, 0, 0)")}) {
    program.settings->SetOverlayOpacity(percent);
    Monitor().SendInit();
    EXPECT_TRUE(RunLoopUntil([&, colour = colour] {
      return Js("getComputedStyle(subtitles).backgroundColor") == colour;
    })) << percent;
  }
  Monitor().OverlayWebObj()->RunJs(R"(Juzi([{"Id":"1","Ori":"one <b>","Finish":true,"Tar":"uno"},)"
                                   R"({"Id":"2","Ori":"two","Finish":false,"Tar":""}]))");
  ASSERT_TRUE(RunLoopUntil([&] { return shown() == "one <b>|uno|two"; })) << shown();
  program.settings->SetShowOriginal(false);
  Monitor().SendInit();
  ASSERT_TRUE(RunLoopUntil([&] { return shown() == "uno"; })) << shown();
  program.settings->SetShowTranslation(false);
  Monitor().SendInit();
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(Window())));
  program.settings->SetShowTranslation(true);
  Monitor().SendInit();
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(Window())));
}

}  // namespace
}  // namespace quensary
