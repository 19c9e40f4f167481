// The main window with the real main page in real WebKitGTK, made by the program's own window
// setup: what the page shows from Init and Juzi, what clicking its controls does, an engine's
// key through its panel into the headless desktop's Secret Service, how the window opens,
// follows a resize, drags, maximizes and ignores the right button, and how it follows the
// desktop's colour scheme.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <atspi/atspi-constants.h>
#include <unistd.h>

#include <future>
#include <nlohmann/json.hpp>

#include "app/program.h"
#include "bus/bus_events.h"
#include "fakes/core_fixture.h"
#include "platform/atspi/atspi_element.h"
#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/program_under_test.h"
#include "support/sealed_literals.h"
#include "support/web_page_wait.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;
using testing::TheProgram;
using testing::Xdotool;
constexpr auto npos = std::string::npos;

// The colour the screen shows at a point, as "r,g,b".
std::string ScreenPixel(int x, int y) {
  const auto shot = GObjectRef<GdkPixbuf>::Adopt(
      gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1));
  const guchar* rgb = gdk_pixbuf_read_pixels(shot.get());
  return std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
}

// The lowest contrast ratio (WCAG) between a shown text and the background under it, and where.
constexpr char kLowestContrast[] = R"((() => {
  const rgb = c => (c.match(/[\d.]+/g) || []).map(Number);
  const lum = c => rgb(c).slice(0, 3).map(v => (v /= 255) <= 0.03928 ? v / 12.92
      : ((v + 0.055) / 1.055) ** 2.4).reduce((s, v, i) => s + v * [0.2126, 0.7152, 0.0722][i], 0);
  let lowest = 21, where = '';
  for (const e of document.querySelectorAll('body *')) {
    if (!e.checkVisibility({visibilityProperty: true}) ||
        ![...e.childNodes].some(n => n.nodeType == 3 && n.textContent.trim())) continue;
    let b = e;
    while (b && (rgb(getComputedStyle(b).backgroundColor)[3] ?? 1) < 0.5) b = b.parentElement;
    const [f, g] = [lum(getComputedStyle(e).color), lum(getComputedStyle(b).backgroundColor)];
    const ratio = (Math.max(f, g) + 0.05) / (Math.min(f, g) + 0.05);
    if (ratio < lowest) [lowest, where] = [ratio, e.id || e.className || e.tagName];
  }
  return lowest.toFixed(2) + ' ' + where;
})())";

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TheProgram();
    // The page has sent page-ready, had its profiles loaded and received Init.
    ASSERT_TRUE(
        RunLoopUntil([] { return Text("version").find(ProgramVersion()) != std::string::npos; },
                     std::chrono::seconds(30)));
  }
  static std::string Js(const std::string& script) {
    return testing::PageText(*TheProgram().MainCtrl->MainPage(), script);
  }
  // The text of the element with this id.
  static std::string Text(const std::string& id) {
    return Js("document.getElementById('" + id + "').textContent");
  }
  static GtkWindow* Window() { return GTK_WINDOW(TheProgram().MainWindow); }
  static std::pair<int, int> Centre(const std::string& selector) {
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(Window())), &x, &y);
    return testing::ElementCentre(*TheProgram().MainCtrl->MainPage(), selector, x, y);
  }
  // The main window's part of the screen, for people to look at.
  static void Shot(const std::string& name) {
    int x = 0, y = 0, width = 0, height = 0;
    gtk_window_get_position(Window(), &x, &y);
    gtk_window_get_size(Window(), &width, &height);
    testing::Screenshot(name, std::to_string(width) + "x" + std::to_string(height) + "+" +
                                  std::to_string(x) + "+" + std::to_string(y));
  }
  static void Click(const std::string& selector) {
    Js("document.querySelector('" + selector + "').click() || 1");
  }
  static void Publish(const std::vector<std::string>& texts) {
    auto& lines = *TheProgram().lines;
    auto held = lines.LineLock();
    for (const auto& text : texts)
      lines.UpsertLine(held, text, true);
  }
};

TEST_F(MainWindowTest, ThePageShowsTheEngineListTheStartValuesAndLinesAsText) {
  EXPECT_NE(Js("document.getElementById('engine').selectedOptions[0].textContent").find("Apertium"),
            std::string::npos);
  EXPECT_EQ(Js("document.getElementById('target-language').value"), "es");
  // Only what the engine offers from English: Apertium's pairs, without a server to ask.
  EXPECT_EQ(Js("Array.from(document.getElementById('target-language').options, o => o.value)"),
            "es,ca,gl,eo,hbs");
  EXPECT_EQ(Js("document.getElementById('show-translation').checked"), "false");
  EXPECT_EQ(Js("getComputedStyle(document.getElementById('overlay-off-notice')).display == 'none'"),
            "false");
  TheProgram().MainCtrl->MainPage()->RunJs(
      R"(Juzi([{"Id":"1","Ori":"<b>x</b> & 'y'","Finish":true,"Tar":"<i>uno</i>"},)"
      R"({"Id":"2","Ori":"two","Finish":true,"Tar":"dos"},{"Id":"3","Ori":"three","Finish":false,"Tar":""},)"
      R"({"Id":"4","Ori":"four","Finish":true,"Tar":"","Fail":"<b>down</b>"}]))");
  ASSERT_TRUE(RunLoopUntil(
      [] { return Js("document.querySelectorAll('#lines [data-id]').length") == "4"; }));
  EXPECT_EQ(Js("document.querySelector('[data-id=\"1\"] .ori').textContent"), "<b>x</b> & 'y'");
  EXPECT_EQ(Js("document.querySelector('[data-id=\"1\"] .tar').textContent"), "<i>uno</i>");
  EXPECT_EQ(Js("document.querySelectorAll('#lines b, #lines i').length"), "0")
      << "text, never markup";
  EXPECT_EQ(Js("document.querySelector('[data-id=\"2\"] .tar').textContent"), "dos");
  EXPECT_EQ(Js("document.querySelector('[data-id=\"3\"] .tar').textContent"), "…");
  EXPECT_EQ(Js("document.querySelector('[data-id=\"4\"] .tar').textContent"),
            "Not translated: <b>down</b>");
}

TEST_F(MainWindowTest, AMinimizedWindowsPageGetsTheNewestLinesOnceItIsShownAgain) {
  const auto rows = [] { return Js("document.querySelector('#lines').textContent"); };
  const std::string before = rows();
  gtk_window_iconify(Window());
  ASSERT_TRUE(RunLoopUntil([] {
    return gdk_window_get_state(gtk_widget_get_window(GTK_WIDGET(Window()))) &
           GDK_WINDOW_STATE_ICONIFIED;
  }));
  Publish({"said while minimized"});
  testing::RunLoopFor(std::chrono::milliseconds(1200));
  EXPECT_EQ(rows(), before) << "held while minimized";
  gtk_window_present(Window());
  EXPECT_TRUE(RunLoopUntil([&] { return rows().find("said while minimized") != npos; }));
  TheProgram().lines->DeleteLines("");
}

TEST_F(MainWindowTest, ItsControlsStoreSettingsAndDeleteAndRetranslateLines) {
  Program& program = TheProgram();
  Click("#show-translation");
  ASSERT_TRUE(RunLoopUntil([&] { return program.settings->ShowTranslation(); }));
  Js("(() => { const s = document.getElementById('target-language'); s.value = 'ca';"
     " s.dispatchEvent(new Event('change')); })() || 1");
  ASSERT_TRUE(RunLoopUntil([&] { return program.settings->TargetLanguage() == "ca"; }));
  // An engine of the test's own that answers at once, chosen as the user's own profile.
  testing::LoopbackHttpServer server;
  server.ServeHtml("/echo.html", "<script>window.trans = async (t, s, d) => d + ':' + t;</script>");
  const auto& handlers = program.MainCtrl->MainPage()->Handlers;
  handlers.at(RevealText(Sealed::HandlerSetSetting))(
      RevealText(Sealed::KeyUserEngineJson), nlohmann::json{{"Id", "echo"},
                                                            {"Name", "Echo"},
                                                            {"Url", server.Url("/echo.html")},
                                                            {"BeforeJs", ""},
                                                            {"Js", ""},
                                                            {"Delay", 0},
                                                            {"Cot", 1}}
                                                 .dump());
  handlers.at(RevealText(Sealed::HandlerSetSetting))(RevealText(Sealed::WordSelectEngine), "echo");
  ASSERT_TRUE(RunLoopUntil([&] {
    return program.engines->ActiveProfile() && program.engines->ActiveProfile()->Id == "echo";
  }));
  Publish({"first line", "second line"});
  ASSERT_TRUE(RunLoopUntil(
      [] { return Js("document.querySelectorAll('#lines [data-id]').length") == "2"; }));
  const auto listed = program.lines->LineList(program.lines->LineLock());
  ASSERT_EQ(listed.size(), 2u);
  const std::string first = listed[0]->Id;
  ASSERT_TRUE(RunLoopUntil([&] {
    Click("[data-id=\"" + first + "\"] .retranslate");
    return Js("document.querySelector('[data-id=\"" + first + "\"] .tar').textContent") ==
           "ca:first line";
  }));
  // The status goes out paced, apart from the line list.
  EXPECT_TRUE(RunLoopUntil([] { return Text("engine-status").starts_with("Echo answers."); }));
  // An engine that fails says why, on the line and once in the status line.
  server.ServeHtml("/echo.html",
                   "<script>window.trans = async () => { throw 'Echo is tired'; };"
                   "</script>");
  handlers.at(RevealText(Sealed::HandlerSetSetting))(RevealText(Sealed::WordSelectEngine), "echo");
  Publish({"third line"});
  EXPECT_TRUE(RunLoopUntil([] {
    return Js("document.querySelector('#lines li:last-child .tar').textContent") ==
               "Not translated: Echo is tired" &&
           Text("engine-status") == "Echo is tired";
  }));
  // The page lets the deletion go when its undo time is up.
  Click("[data-id=\"" + first + "\"] .delete");
  ASSERT_TRUE(
      RunLoopUntil([&] { return program.lines->LineList(program.lines->LineLock()).size() == 2; },
                   std::chrono::seconds(30)));
  TheProgram().lines->DeleteLines("");
}

TEST_F(MainWindowTest, AKeyGoesOnlyToTheSecretServiceAndItsPanelNeverShowsIt) {
  Program& program = TheProgram();
  testing::CapturedDiagnostics output;
  const std::string key = "sk-quensary-0123456789abcdef";
  testing::LoopbackHttpServer server;
  server.Serve("/v1/models", testing::LoopbackHttpServer::Reply::Json(R"({"data":[]})", false));
  server.Handle("/v1/chat/completions", [key](const testing::LoopbackHttpServer::Request& r) {
    const auto auth = r.headers.find("authorization");
    const bool keyed = auth != r.headers.end() && auth->second == "Bearer " + key;
    const std::string text = nlohmann::json::parse(r.body)["messages"].back()["content"];
    return testing::LoopbackHttpServer::Reply::Json(
        nlohmann::json{
            {"choices", {{{"message", {{"content", (keyed ? "keyed|" : "plain|") + text}}}}}}}
            .dump(),
        false);
  });
  const auto set = [](const std::string& id, const std::string& value) {
    Js("(() => { const e = document.getElementById('" + id + "'); e.value = '" + value +
       "'; e.dispatchEvent(new Event('change')); })() || 1");
  };
  set("engine", "openai-compatible");
  ASSERT_TRUE(RunLoopUntil(
      [] { return Js("document.getElementById('engine-settings').hidden") == "false"; }));
  set("engine-address", server.Url("/v1"));
  Click("#save-engine-options");
  ASSERT_TRUE(
      RunLoopUntil([&] { return Text("engine-status").find("answers") != std::string::npos; }));
  Publish({"with a key"});
  set("engine-key", key);
  Click("#save-engine-key");
  EXPECT_EQ(Js("document.getElementById('engine-key').value"), "") << "write-only";
  ASSERT_TRUE(RunLoopUntil([] {
    return Text("engine-key-state") == "Key saved." &&
           Js("document.querySelector('#lines li:last-child .tar').textContent")
                   .find("|with a key") != std::string::npos;
  }));
  EXPECT_EQ(Js("document.querySelector('#lines li:last-child .tar').textContent"),
            "keyed|with a key");
  // The engine panel, for people to look at: the main window only.
  Js("document.getElementById('translation-heading').scrollIntoView() || 1");
  testing::RunLoopFor(std::chrono::milliseconds(300));
  Shot("engine-panel.png");
  const std::string page_text =
      Js("document.documentElement.outerHTML + Array.from(document.querySelectorAll('input'), i "
         "=> i.value).join()");
  Click("#forget-engine-key");
  ASSERT_TRUE(RunLoopUntil([] { return Text("engine-key-state").starts_with("No key saved"); }));
  std::optional<std::optional<std::string>> kept;
  program.keys->Lookup("openai-compatible", [&](auto found) { kept = found; });
  ASSERT_TRUE(RunLoopUntil([&] { return kept.has_value(); }));
  EXPECT_FALSE(*kept) << "forgotten";
  ASSERT_TRUE(program.preferences->Flush(std::chrono::seconds(5)));
  ASSERT_TRUE(program.history->Flush(std::chrono::seconds(5)));
  const std::string settings_file =
      testing::ReadFile(std::string(g_get_user_config_dir()) + "/quensary/settings.ini");
  EXPECT_NE(settings_file.find(server.Url("/v1")), std::string::npos) << "the address is kept";
  std::string said;
  for (const auto& line : output.lines())
    said += line + "\n";
  for (const auto& [where, text] : std::vector<std::pair<std::string, std::string>>{
           {"the settings file", settings_file},
           {"the history", testing::ReadFile(program.history->path())},
           {"the output", said},
           {"the page", page_text}})
    EXPECT_EQ(text.find(key), std::string::npos) << where;
  set("engine", "apertium-eng-spa");
  TheProgram().lines->DeleteLines("");
}

TEST_F(MainWindowTest,
       TheWindowFollowsResizesDragsByItsTitleIgnoresTheRightButtonAndMaximizesTwice) {
  // The subtitles stay hidden: the overlay, placed for the main window's first size, could lie
  // over the larger window's footer and take the drags meant for it.
  TheProgram().settings->SetShowOriginal(false);
  TheProgram().settings->SetShowTranslation(false);
  quensary::Publish(*TheProgram().bus, SettingsChanged{});
  ASSERT_TRUE(RunLoopUntil([] {
    return !gtk_widget_get_visible(GTK_WIDGET(TheProgram().OverlayMonitor->OverlayWindow()));
  }));
  gtk_window_resize(Window(), 1000, 600);
  ASSERT_TRUE(RunLoopUntil([] { return Js("innerWidth + 'x' + innerHeight") == "1000x600"; }));
  int x = 0, y = 0;
  gtk_window_get_position(Window(), &x, &y);
  const auto drag = [](std::pair<int, int> from) {
    const auto [fx, fy] = from;
    return Xdotool({"mousemove", std::to_string(fx), std::to_string(fy), "mousedown", "1",
                    "mousemove", std::to_string(fx + 20), std::to_string(fy + 5), "sleep", "0.1",
                    "mousemove", std::to_string(fx + 40), std::to_string(fy + 10), "sleep", "0.1",
                    "mouseup", "1"});
  };
  // The right button reaches neither the page nor a menu. Anywhere but the title bar a drag
  // stays in the page: the title bar's drag then moves the window by its own offset from where
  // it started.
  Js("(window.ups = 0) || (window.downs = []) && document.addEventListener('mousedown', e => "
     "downs.push(e.button), true) || document.addEventListener('mouseup', () => ++ups, true) || 1");
  const auto [vx, vy] = Centre("#version");
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(vx), std::to_string(vy), "click", "3"}));
  ASSERT_TRUE(drag({vx, vy}));
  ASSERT_TRUE(RunLoopUntil([] { return Js("ups") == "1"; }));
  EXPECT_EQ(Js("downs.join()"), "0");
  const GListPtr windows(gtk_window_list_toplevels());
  for (GList* item = windows.get(); item; item = item->next)
    EXPECT_FALSE(GTK_IS_MENU(gtk_bin_get_child(GTK_BIN(item->data))) &&
                 gtk_widget_get_visible(GTK_WIDGET(item->data)));
  ASSERT_TRUE(drag(Centre("#titlebar")));
  EXPECT_TRUE(RunLoopUntil([&] {
    int nx = 0, ny = 0;
    gtk_window_get_position(Window(), &nx, &ny);
    return nx == x + 40 && ny == y + 10;
  }));
  Click("#maximise");
  ASSERT_TRUE(RunLoopUntil([] { return gtk_window_is_maximized(Window()); }));
  Click("#maximise");
  ASSERT_TRUE(RunLoopUntil([] {
    return !gtk_window_is_maximized(Window()) && Js("innerWidth + 'x' + innerHeight") == "1000x600";
  }));
  testing::Screenshot("main-window.png");
}

// What a screen reader hears of the main page's focused element, over AT-SPI: its accessible
// name, else (a cell of the lines) its text. The window's part of the tree is answered by this
// process's main thread, so the walk runs on another thread while the main loop runs.
std::string FocusedOverAtspi() {
  auto walk = std::async(std::launch::async, []() -> std::string {
    const auto session = AtspiSession::Open(X11Desktop::Connect());
    const auto call = [&](const AtspiElement& at, const char* method, GVariant* args,
                          const char* type, const char* interface = "org.a11y.atspi.Accessible") {
      return session->Call(at.bus_name(), at.path(), interface, method, args, type);
    };
    AccessibleElements todo;
    for (auto& app :
         AtspiElement(session, "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
             .Children()
             .value_or(AccessibleElements{}))
      if (session->PidOf(static_cast<const AtspiElement&>(*app).bus_name()) == getpid())
        todo.push_back(std::move(app));
    bool in_page = false;    // below the main page's document, which counts as focused too
    while (!todo.empty()) {  // in pre-order
      const auto& at = static_cast<const AtspiElement&>(*todo.back());
      const GVariantPtr role = call(at, "GetRole", nullptr, "(u)");
      const GVariantPtr state = call(at, "GetState", nullptr, "(au)");
      guint32 role_value = 0, low_states = 0;
      GVariantIter* words = nullptr;
      if (role && state) {
        g_variant_get(role.get(), "(u)", &role_value);
        g_variant_get(state.get(), "(au)", &words);
        g_variant_iter_next(words, "u", &low_states);
        g_variant_iter_free(words);
      }
      const bool focused = (low_states >> ATSPI_STATE_FOCUSED) & 1;
      if (in_page && focused) {
        const GVariantPtr name =
            call(at, "Get", g_variant_new("(ss)", "org.a11y.atspi.Accessible", "Name"), "(v)",
                 "org.freedesktop.DBus.Properties");
        GVariantPtr boxed(name ? g_variant_get_child_value(name.get(), 0) : nullptr);
        GVariantPtr text(boxed ? g_variant_get_variant(boxed.get()) : nullptr);
        const std::string named = text ? g_variant_get_string(text.get(), nullptr) : "";
        return named.empty() ? at.Value().value_or("") : named;
      }
      in_page = in_page || (focused && role_value == ATSPI_ROLE_DOCUMENT_WEB);
      auto children = todo.back()->Children().value_or(AccessibleElements{});
      todo.pop_back();
      todo.insert(todo.end(), children.rbegin(), children.rend());
    }
    return "<nothing>";
  });
  RunLoopUntil([&] { return walk.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
               std::chrono::seconds(30));
  return walk.get();
}

// At its designed size the page shows everything without scrolling and says that no caption
// source runs; Tab reaches every control once and the lines only once, and inside the lines the
// keys move, delete and bring back.
TEST_F(MainWindowTest, AtItsSizeAllFitsAndTheKeyboardReachesEveryControlAndEveryLine) {
  gtk_window_resize(Window(), 837, 525);
  ASSERT_TRUE(RunLoopUntil([] { return Js("innerWidth + 'x' + innerHeight") == "837x525"; }));
  Publish({"The first line.", "السلام عليكم جميعا.", "Good morning 👋🙂."});
  ASSERT_TRUE(RunLoopUntil([] {
    return Js("document.querySelectorAll('#lines [data-id]').length") == "3" &&
           Text("caption-source-status").starts_with("No caption source found.");
  })) << Text("caption-source-status");
  EXPECT_EQ(Js("getComputedStyle(document.querySelectorAll('#lines .ori')[1]).direction"), "rtl");
  EXPECT_EQ(Js("(s => s.scrollHeight - s.clientHeight)(document.querySelector('.settings'))"), "0");
  EXPECT_EQ(Js("(t => t.scrollHeight <= t.clientHeight && t.textContent)"
               "(document.querySelector('.select-text'))"),
            Js("document.getElementById('engine').selectedOptions[0].textContent"));
  Shot("main-window-837x525.png");

  gtk_window_present(Window());
  ASSERT_TRUE(RunLoopUntil([] { return gtk_window_has_toplevel_focus(Window()); }));
  Js("document.getElementById('minimise').focus() || 1");
  std::string focused;
  const auto press = [&](const std::string& key, const std::string& expected) {
    EXPECT_TRUE(Xdotool({"key", key}));
    EXPECT_TRUE(RunLoopUntil([&] { return (focused = FocusedOverAtspi()).find(expected) != npos; }))
        << key << " gave " << focused << ", not " << expected;
  };
  std::vector<std::string> stops;
  while (stops.size() < 60 && focused.find("Report a problem") == npos) {
    ASSERT_TRUE(Xdotool({"key", "Tab"}));
    RunLoopUntil(
        [&] { return (focused = FocusedOverAtspi()) != (stops.empty() ? "" : stops.back()); });
    stops.push_back(focused);
  }
  const auto count = [&](const std::string& part) {
    return std::count_if(stops.begin(), stops.end(),
                         [&](const std::string& s) { return s.find(part) != npos; });
  };
  EXPECT_EQ(count("Text colour"), 1) << ::testing::PrintToString(stops);
  EXPECT_EQ(count("Good morning") + count("first line") + count("السلام"), 1);

  // From the keyboard, the colour button opens the chooser (handled here, so none shows).
  bool chooser = false;
  GtkWidget* view = TheProgram().MainCtrl->MainPage()->Widget();
  const gulong handler = g_signal_connect_swapped(
      view, "run-color-chooser",
      G_CALLBACK(+[](bool* seen, gpointer, gpointer) -> gboolean { return *seen = true; }),
      &chooser);
  Js("document.getElementById('text-colour-button').focus() || 1");
  EXPECT_TRUE(Xdotool({"key", "Return"}) && RunLoopUntil([&] { return chooser; }));
  g_signal_handler_disconnect(view, handler);

  Js("document.querySelector('#lines [tabindex=\"0\"]').focus() || 1");
  press("Home", "The first line.");
  press("End", "Good morning");
  press("Up", "السلام");
  press("Right", "Retranslate: السلام");
  press("Right", "Delete: السلام");
  press("Delete", "Delete: Good morning");
  EXPECT_EQ(Js("document.querySelectorAll('#lines [data-id]').length"), "2");
  press("ctrl+z", "السلام");
  press("Delete", "Good morning");
  press("shift+Tab", "Clear all");
  press("shift+Tab", "Undo deleting: السلام");
  press("Return", "السلام");
  EXPECT_EQ(TheProgram().lines->LineList(TheProgram().lines->LineLock()).size(), 3u);
  // A second deletion lets the first one go to the program at once.
  press("Delete", "Good morning");
  press("Delete", "first line");
  EXPECT_TRUE(RunLoopUntil(
      [] { return TheProgram().lines->LineList(TheProgram().lines->LineLock()).size() == 2; }));

  gtk_window_resize(Window(), 1800, 900);
  ASSERT_TRUE(RunLoopUntil([] { return Js("innerWidth") == "1800"; }));
  EXPECT_LT(std::stoi(Js("document.querySelector('#lines .line-text').offsetWidth")), 800)
      << "a reading width, not the window's";
  gtk_window_resize(Window(), 837, 525);
  ASSERT_TRUE(RunLoopUntil([] { return Js("innerWidth") == "837"; }));
  TheProgram().lines->DeleteLines("");
}

TEST_F(MainWindowTest, ItFollowsTheDesktopsColourSchemeReadablyWithSeeThroughCorners) {
  // The desktop's settings portal, played by the test on the session bus.
  const auto bus =
      GObjectRef<GDBusConnection>::Adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  bool owned = false;
  const guint name = g_bus_own_name_on_connection(
      bus.get(), "org.freedesktop.portal.Desktop", G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, gpointer data) { *static_cast<bool*>(data) = true; },
      nullptr, &owned, nullptr);
  ASSERT_TRUE(RunLoopUntil([&] { return owned; }));
  gtk_window_unmaximize(Window());
  gtk_window_resize(Window(), 837, 525);
  ASSERT_TRUE(RunLoopUntil([] { return Js("innerWidth + 'x' + innerHeight") == "837x525"; }));
  for (const auto& [value, scheme] :
       std::vector<std::pair<guint32, std::string>>{{1, "dark"}, {2, "light"}}) {
    SCOPED_TRACE(scheme);
    g_dbus_connection_emit_signal(bus.get(), nullptr, "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Settings", "SettingChanged",
                                  g_variant_new("(ssv)", "org.freedesktop.appearance",
                                                "color-scheme", g_variant_new_uint32(value)),
                                  nullptr);
    ASSERT_TRUE(RunLoopUntil([&] {
      return Js("matchMedia('(prefers-color-scheme: " + scheme + ")').matches") == "true";
    }));
    // Colours change in short transitions: the lowest contrast once they have ended.
    std::string lowest;
    EXPECT_TRUE(RunLoopUntil([&] { return std::stod(lowest = Js(kLowestContrast)) >= 4.5; }))
        << lowest;
    int x = 0, y = 0;
    gtk_window_get_position(Window(), &x, &y);
    const std::string titlebar =
        Js("getComputedStyle(document.getElementById('titlebar')).backgroundColor"
           ".match(/\\d+/g).join()");
    ASSERT_TRUE(RunLoopUntil([&] { return ScreenPixel(x + 400, y + 2) == titlebar; }));
    EXPECT_EQ(ScreenPixel(x, y), ScreenPixel(x - 1, y)) << "the corner shows what lies behind";
    Shot("main-window-" + scheme + ".png");
  }
  g_bus_unown_name(name);
}

}  // namespace
}  // namespace quensary
