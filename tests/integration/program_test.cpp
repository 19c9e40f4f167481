// The program binary as a user starts it, in the headless desktop: the permission window and the
// wait for the desktop's accessibility, window setup, a single instance, quitting, and captions
// from the demo provider translated by the offline engine end to end. Windows are read with
// wmctrl, texts through AT-SPI, the history from its file.

#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <sstream>

#include "fakes/core_fixture.h"
#include "platform/atspi/atspi_accessibility.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using testing::BackgroundProcess;
using testing::RunLoopUntil;

// The program's own windows that the window manager shows (wmctrl lists only those).
struct ListedWindow {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};
std::vector<ListedWindow> WindowsOf(pid_t pid) {
  std::string listing;
  testing::RunToEnd({"wmctrl", "-lpG"}, std::chrono::seconds(10), &listing);
  std::vector<ListedWindow> found;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    ListedWindow window;
    int desktop = 0;
    pid_t owner = 0;
    if (fields >> window.id >> desktop >> owner >> window.x >> window.y >> window.width >>
            window.height &&
        owner == pid)
      found.push_back(window);
  }
  return found;
}

// The main window (837 x 525) or the permission window (600 x 300) of the process, if shown.
std::optional<ListedWindow> Shown(pid_t pid, int width) {
  for (const auto& window : WindowsOf(pid))
    if (window.width == width && window.height == (width == 837 ? 525 : 300))
      return window;
  return std::nullopt;
}
constexpr int kMainWindow = 837, kPermissionWindow = 600;
// The overlay: the program's window that is neither of those.
std::optional<ListedWindow> OverlayOf(pid_t pid) {
  for (const auto& window : WindowsOf(pid))
    if (window.height != 525 && window.width != kPermissionWindow)
      return window;
  return std::nullopt;
}

// Whether the window manager stacks window `upper` above window `lower` (ids as wmctrl gives them).
bool StackedAbove(const std::string& upper, const std::string& lower) {
  std::string listing;  // bottom to top
  testing::RunToEnd({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}, std::chrono::seconds(5),
                    &listing);
  std::vector<unsigned long> order;
  for (auto at = listing.find("0x"); at != std::string::npos; at = listing.find("0x", at + 2))
    order.push_back(std::stoul(listing.substr(at), nullptr, 16));
  const auto lower_at = std::find(order.begin(), order.end(), std::stoul(lower, nullptr, 16));
  return lower_at != order.end() &&
         std::find(lower_at, order.end(), std::stoul(upper, nullptr, 16)) != order.end();
}

// What a process's accessible elements show, in tree order (its web pages' included), read with
// the program's own accessibility reader, and the screen position of the first that shows `named`.
struct Accessibles {
  std::vector<std::string> texts;
  std::optional<ScreenPoint> position;
};
Accessibles AccessiblesOf(pid_t pid, const std::string& named = "") {
  Accessibles found;
  const std::function<void(const AccessibleElement&, int)> walk =
      [&](const AccessibleElement& element, int depth) {
        const auto text = element.Value();
        if (text)
          found.texts.push_back(*text);
        if (text == named && !found.position)
          found.position = element.Position();
        for (const auto& child : element.Children().value_or(AccessibleElements{}))
          if (depth < kMaxWalkDepth)
            walk(*child, depth + 1);
      };
  AtspiAccessibility desktop;
  desktop.RunningApplications();
  if (const auto application = desktop.ApplicationElement(pid))
    walk(*application, 0);
  return found;
}

bool Holds(const std::vector<std::string>& texts, const std::string& wanted) {
  for (const auto& text : texts)
    if (text.find(wanted) != std::string::npos)
      return true;
  return false;
}

// The program as a user starts it, in a home of its own; it inherits the closed update feed
// address of every integration test.
std::unique_ptr<BackgroundProcess> StartProgram(const testing::TempDir& home,
                                                const std::string& output_path = "") {
  return std::make_unique<BackgroundProcess>(
      std::vector<std::string>{QUENSARY_EXECUTABLE},
      std::vector<std::string>{"XDG_CONFIG_HOME=" + home.path() + "/config",
                               "XDG_DATA_HOME=" + home.path() + "/data"},
      output_path);
}

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override { testing::SetDesktopAccessibility(true); }
  testing::TempDir home;
};

TEST_F(ProgramTest, WithAccessibilityOffOnlyThePermissionWindowShowsUntilItIsTurnedOnOrClosed) {
  for (const std::string way : {"from outside", "by its button", "closed"}) {
    SCOPED_TRACE(way);
    ASSERT_TRUE(testing::SetDesktopAccessibility(false));
    const testing::TempDir own_home;
    const std::string output = own_home.path() + "/output.txt";
    const auto program = StartProgram(own_home, output);
    std::optional<ListedWindow> permission;
    ASSERT_TRUE(RunLoopUntil(
        [&] { return (permission = Shown(program->Pid(), kPermissionWindow)).has_value(); },
        std::chrono::seconds(20)));
    Accessibles seen;
    ASSERT_TRUE(RunLoopUntil([&] {
      seen = AccessiblesOf(program->Pid(), RevealText(Sealed::PermissionButtonTitle));
      return seen.position.has_value();
    }));
    EXPECT_TRUE(Holds(seen.texts, "    需要以下权限才能运行，请依次检查："))
        << ::testing::PrintToString(seen.texts);
    EXPECT_TRUE(Holds(seen.texts, RevealText(Sealed::PermissionName)));
    // Started again before setup: nothing new appears.
    const auto again = StartProgram(own_home);
    ASSERT_TRUE(RunLoopUntil([&] { return again->ExitStatus().has_value(); }));
    EXPECT_EQ(WindowsOf(program->Pid()).size(), 1u);
    // The main page loads meanwhile, but its start values wait for window setup.
    EXPECT_EQ(testing::ReadFile(output).find("\"app-version\""), std::string::npos);

    const auto start = std::chrono::steady_clock::now();
    if (way == "closed") {
      ASSERT_EQ(testing::RunToEnd({"wmctrl", "-i", "-c", permission->id}), 0);
      ASSERT_TRUE(RunLoopUntil([&] { return program->ExitStatus().has_value(); }));
      EXPECT_EQ(program->ExitStatus(), 0);
      EXPECT_TRUE(RunLoopUntil([&] { return kill(-program->Pid(), 0) != 0; }))
          << "a process of the program is left";
      continue;
    }
    if (way == "by its button")
      ASSERT_TRUE(testing::Xdotool({"mousemove", std::to_string(seen.position->x + 4),
                                    std::to_string(seen.position->y + 4), "click", "1"}));
    else
      ASSERT_TRUE(testing::SetDesktopAccessibility(true));
    ASSERT_TRUE(RunLoopUntil([&] { return Shown(program->Pid(), kMainWindow).has_value(); },
                             std::chrono::seconds(30)));
    std::cout << "main window up "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
              << " s after accessibility was turned on\n";
    EXPECT_TRUE(RunLoopUntil([&] { return !Shown(program->Pid(), kPermissionWindow); }));
    EXPECT_TRUE(RunLoopUntil([&] {
      return testing::ReadFile(output).find("\"app-version\"") != std::string::npos;
    })) << "the page, ready before window setup, has its start values after it";
    if (way == "by its button") {
      // The page the button opened stays in front of the main window that came after it.
      EXPECT_TRUE(RunLoopUntil([&] {
        const auto windows = WindowsOf(program->Pid());
        const auto help = std::find_if(windows.begin(), windows.end(),
                                       [](const auto& window) { return window.width == 640; });
        const auto main = Shown(program->Pid(), kMainWindow);
        return help != windows.end() && main && StackedAbove(help->id, main->id);
      }));
    }
  }
}

// With the desktop's accessibility on: the main window and the overlay below it come up, the demo
// provider's sentences arrive in Spanish in the page and the history, a second start raises the
// main window, quitting in the middle of captions ends the program cleanly, and the next start
// puts the overlay where the user moved it.
TEST_F(ProgramTest, EndToEndCaptionsArriveInSpanishInThePageAndTheHistoryAndQuittingEndsCleanly) {
  ASSERT_TRUE(testing::SetDesktopAccessibility(true));
  // The offline engine on its usual port, unless one already listens there.
  const auto apy = testing::StartApertium(2737);
  ASSERT_FALSE(testing::ListenersOn(2737).empty());
  BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--word-ms", "40", "--pause-ms", "200"});
  // The overlay shown from the start: it is hidden while it shows neither text.
  const std::string settings = home.path() + "/config/quensary/settings.ini";
  testing::WriteFile(settings, "[" + RevealText(Sealed::SettingsGroup) + "]\n" +
                                   RevealText(Sealed::KeyShowTranslation) + "=true\n");
  auto program = StartProgram(home, home.path() + "/output.txt");
  std::optional<ListedWindow> main, overlay;
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        main = Shown(program->Pid(), kMainWindow);
        overlay = OverlayOf(program->Pid());
        return main && overlay;
      },
      std::chrono::seconds(30)));
  EXPECT_NEAR(main->x + main->width / 2, 1920 / 2, 2);
  EXPECT_GE(overlay->y, main->y + main->height) << "clear of the main window";
  // Moved clear of the main window's controls. The window may still settle (its page reports
  // its height), so the place is read with the stored one until both agree.
  ASSERT_TRUE(
      testing::Xdotool({"windowsize", "--sync", overlay->id, "700", std::to_string(overlay->height),
                        "windowmove", "--sync", overlay->id, "120", "850"}));
  ListedWindow moved;
  ASSERT_TRUE(RunLoopUntil([&] {
    moved = OverlayOf(program->Pid()).value_or(ListedWindow{});
    return moved.width == 700 &&
           testing::ReadFile(settings).find(std::to_string(moved.x) + "," +
                                            std::to_string(moved.y) + ",700") != std::string::npos;
  })) << moved.x
      << "," << moved.y << " " << moved.width << ": " << testing::ReadFile(settings);
  EXPECT_TRUE(RunLoopUntil([&] { return !Shown(program->Pid(), kPermissionWindow); }));
  // The page's start values go out only once startup is complete, after the main window exists.
  ASSERT_TRUE(RunLoopUntil([&] {
    return testing::ReadFile(home.path() + "/output.txt").find("\"app-version\"") !=
           std::string::npos;
  }));

  const auto page_shows = [&](const std::vector<std::string>& wanted) {
    return RunLoopUntil(
        [&] {
          const auto texts = AccessiblesOf(program->Pid()).texts;
          return std::all_of(wanted.begin(), wanted.end(),
                             [&](const std::string& text) { return Holds(texts, text); });
        },
        std::chrono::seconds(60));
  };
  // Capture runs once the page has started it: a first sentence shows when.
  ASSERT_TRUE(demo.WriteLine("Hello."));
  ASSERT_TRUE(page_shows({"Hello"}));
  const std::vector<std::pair<std::string, std::string>> sentences = {
      {"Good morning.", "Buenos"},
      {"The house is big.", "casa"},
      {"Thank you very much.", "gracias"}};
  // Each sentence once the page shows the one before, as speech would come: two sentences
  // completed within one poll would leave only the later one to be taken as finished.
  for (const auto& [english, spanish] : sentences) {
    ASSERT_TRUE(demo.WriteLine(english));
    ASSERT_TRUE(page_shows({english}));
  }
  EXPECT_TRUE(page_shows({"Buenos", "casa", "gracias"}));
  SQLiteHelper history(home.path() + "/data/quensary");
  std::vector<std::string> stored;
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        stored.clear();
        for (const auto& line :
             testing::LatestLinesNow(history).value_or(std::vector<CaptionLinePtr>{}))
          if (line->Finish && line->Ori != "Hello.")
            stored.push_back(line->Ori + " = " + line->Tar);
        return stored.size() == sentences.size();
      },
      std::chrono::seconds(30)))
      << ::testing::PrintToString(stored);
  for (size_t i = 0; i < sentences.size(); ++i) {
    EXPECT_TRUE(stored[i].starts_with(sentences[i].first)) << stored[i];
    EXPECT_NE(stored[i].find(sentences[i].second), std::string::npos) << stored[i];
  }

  // Minimised, then started again: the second process ends at once and the first shows its
  // main window.
  ASSERT_TRUE(testing::Xdotool({"windowminimize", "--sync", main->id}));
  const auto again = StartProgram(home);
  ASSERT_TRUE(RunLoopUntil([&] { return again->ExitStatus().has_value(); }));
  EXPECT_EQ(again->ExitStatus(), 0);
  EXPECT_TRUE(RunLoopUntil([&] {
    std::string state;
    testing::RunToEnd({"xprop", "-id", main->id, "_NET_WM_STATE"}, std::chrono::seconds(5), &state);
    return state.find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  }));
  // Quit from the page while captions come and go to the engine: status 0, nothing left running,
  // the history whole.
  Accessibles seen;
  ASSERT_TRUE(RunLoopUntil(
      [&] { return (seen = AccessiblesOf(program->Pid(), "Quit")).position.has_value(); }));
  for (int i = 0; i < 5; ++i)
    demo.WriteLine("The house is big and the garden is small.");
  ASSERT_TRUE(page_shows({"The house is big and"}));
  ASSERT_TRUE(testing::Xdotool({"mousemove", std::to_string(seen.position->x + 4),
                                std::to_string(seen.position->y + 4), "click", "1"}));
  ASSERT_TRUE(RunLoopUntil([&] { return program->ExitStatus().has_value(); }));
  EXPECT_EQ(program->ExitStatus(), 0);
  EXPECT_TRUE(RunLoopUntil([&] { return kill(-program->Pid(), 0) != 0; }));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(history.path().c_str(), &db), SQLITE_OK);
  std::string integrity;
  sqlite3_exec(
      db, "PRAGMA integrity_check",
      [](void* out, int, char** row, char**) {
        *static_cast<std::string*>(out) = row[0] ? row[0] : "";
        return 0;
      },
      &integrity, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(integrity, "ok");
  program = StartProgram(home);
  EXPECT_TRUE(RunLoopUntil(
      [&] {
        overlay = OverlayOf(program->Pid());
        return overlay && overlay->x == moved.x && overlay->y == moved.y && overlay->width == 700;
      },
      std::chrono::seconds(30)));
}

}  // namespace
}  // namespace quensary
