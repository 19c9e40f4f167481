// The program binary as a user starts it, in the headless desktop: the permission window and the
// wait for the desktop's accessibility, window setup, a single instance, quitting, and captions
// from the demo provider translated by the offline engine end to end. Windows are read with
// wmctrl, texts through AT-SPI, the history from its file.

#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>

#include "fakes/core_fixture.h"
#include "platform/accessibility.h"
#include "platform/atspi/atspi_session.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using testing::BackgroundProcess;
using testing::RunLoopUntil;

struct ListedWindow {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};

// The program's own windows that the window manager shows (wmctrl lists only those).
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

bool Shows(pid_t pid, int width, int height) {
  for (const auto& window : WindowsOf(pid))
    if (window.width == width && (height == 0 || window.height == height))
      return true;
  return false;
}

// Every name and text of the accessible elements of a process, in tree order, and the screen
// position of the first element named `named`. Spoken over a GDBus connection of its own, whose
// calls have time-outs (libatspi may deadlock when events arrive during a call), child by child,
// which also crosses into the web processes' trees.
struct Accessibles {
  std::vector<std::string> texts;
  std::optional<std::pair<int, int>> position;
};

void Walk(AtspiSession& session, const std::string& bus, const std::string& path,
          const std::string& named, Accessibles& found, int depth) {
  constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
  const auto property = [&](const char* name) {
    return session.Call(bus, path, "org.freedesktop.DBus.Properties", "Get",
                        g_variant_new("(ss)", kAccessible, name), "(v)");
  };
  if (depth > kMaxWalkDepth || found.texts.size() > kMaxWalkNodes)
    return;
  std::string name;
  if (const auto reply = property("Name")) {
    const GVariantPtr value(g_variant_get_child_value(reply.get(), 0));
    const GVariantPtr inner(g_variant_get_variant(value.get()));
    name = g_variant_get_string(inner.get(), nullptr);
    found.texts.push_back(name);
  }
  bool has_text = false;
  if (const auto interfaces =
          session.Call(bus, path, kAccessible, "GetInterfaces", nullptr, "(as)")) {
    const GVariantPtr list(g_variant_get_child_value(interfaces.get(), 0));
    const GStrvPtr names(g_variant_dup_strv(list.get(), nullptr));
    has_text = g_strv_contains(names.get(), "org.a11y.atspi.Text");
  }
  if (const auto text = !has_text ? nullptr
                                  : session.Call(bus, path, "org.a11y.atspi.Text", "GetText",
                                                 g_variant_new("(ii)", 0, -1), "(s)")) {
    const char* content = nullptr;
    g_variant_get(text.get(), "(&s)", &content);
    found.texts.emplace_back(content);
  }
  if (!found.position && !named.empty() && name == named)
    if (const auto box = session.Call(bus, path, "org.a11y.atspi.Component", "GetExtents",
                                      g_variant_new("(u)", 0), "((iiii))")) {
      int x = 0, y = 0, w = 0, h = 0;
      g_variant_get(box.get(), "((iiii))", &x, &y, &w, &h);
      found.position = std::make_pair(x + w / 2, y + h / 2);
    }
  int count = 0;
  if (const auto reply = property("ChildCount")) {
    const GVariantPtr value(g_variant_get_child_value(reply.get(), 0));
    const GVariantPtr inner(g_variant_get_variant(value.get()));
    count = g_variant_get_int32(inner.get());
  }
  for (int i = 0; i < count && i < 1000; ++i) {
    const auto child =
        session.Call(bus, path, kAccessible, "GetChildAtIndex", g_variant_new("(i)", i), "((so))");
    if (!child)
      continue;
    const char *child_bus = nullptr, *child_path = nullptr;
    g_variant_get(child.get(), "((&s&o))", &child_bus, &child_path);
    Walk(session, child_bus, child_path, named, found, depth + 1);
  }
}

Accessibles AccessiblesOf(pid_t pid, const std::string& named = "") {
  Accessibles found;
  const auto session = AtspiSession::Open(X11Desktop::Connect());
  const std::string registry = "org.a11y.atspi.Registry";
  if (!session)
    return found;
  // The registry's children are the applications; the one of this process is walked.
  const auto count = session->Call(registry, "/org/a11y/atspi/accessible/root",
                                   "org.a11y.atspi.Accessible", "GetChildren", nullptr, "(a(so))");
  if (!count)
    return found;
  GVariantIter* children = nullptr;
  g_variant_get(count.get(), "(a(so))", &children);
  const char *bus = nullptr, *path = nullptr;
  while (g_variant_iter_next(children, "(&s&o)", &bus, &path))
    if (session->PidOf(bus) == pid)
      Walk(*session, bus, path, named, found, 0);
  g_variant_iter_free(children);
  return found;
}

bool Holds(const std::vector<std::string>& texts, const std::string& wanted) {
  for (const auto& text : texts)
    if (text.find(wanted) != std::string::npos)
      return true;
  return false;
}

// The program in a home of its own, its standard output kept in a file; it inherits the closed
// update feed address of every integration test.
class RunningProgram {
 public:
  RunningProgram()
      : process_({QUENSARY_EXECUTABLE},
                 {"XDG_CONFIG_HOME=" + home_.path() + "/config",
                  "XDG_DATA_HOME=" + home_.path() + "/data"},
                 home_.path() + "/output.txt") {}
  BackgroundProcess& process() { return process_; }
  pid_t Pid() const { return process_.Pid(); }
  std::string Output() const {
    std::stringstream text;
    text << std::ifstream(home_.path() + "/output.txt").rdbuf();
    return text.str();
  }
  // Starts the program again with the same home, as a second instance.
  std::unique_ptr<BackgroundProcess> StartAgain() const {
    return std::make_unique<BackgroundProcess>(
        std::vector<std::string>{QUENSARY_EXECUTABLE},
        std::vector<std::string>{"XDG_CONFIG_HOME=" + home_.path() + "/config",
                                 "XDG_DATA_HOME=" + home_.path() + "/data"});
  }
  const std::string& home() const { return home_.path(); }

 private:
  testing::TempDir home_;
  BackgroundProcess process_;
};

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override { testing::SetDesktopAccessibility(true); }
  static bool MainWindowShown(pid_t pid) { return Shows(pid, 837, 525); }
  static bool PermissionWindowShown(pid_t pid) { return Shows(pid, 600, 300); }
};

TEST_F(ProgramTest, WithAccessibilityOnTheMainWindowAndOverlayComeUpAndASecondStartRaisesIt) {
  ASSERT_TRUE(testing::SetDesktopAccessibility(true));
  RunningProgram program;
  ASSERT_TRUE(
      RunLoopUntil([&] { return MainWindowShown(program.Pid()) && Shows(program.Pid(), 837, 0); },
                   std::chrono::seconds(30)));
  EXPECT_TRUE(RunLoopUntil([&] { return !PermissionWindowShown(program.Pid()); }));
  for (const auto& window : WindowsOf(program.Pid())) {
    if (window.height == 525) {
      EXPECT_NEAR(window.x + window.width / 2, 1920 / 2, 2);
    }
  }
  // The page's start values go out only once startup is complete, after the main window exists.
  ASSERT_TRUE(
      RunLoopUntil([&] { return program.Output().find("\"app-version\"") != std::string::npos; }));

  // Minimised, then started again: the second process ends at once and the first shows its
  // main window.
  std::string main_id;
  for (const auto& window : WindowsOf(program.Pid())) {
    if (window.height == 525)
      main_id = window.id;
  }
  ASSERT_TRUE(testing::Xdotool({"windowminimize", "--sync", main_id}));
  const auto again = program.StartAgain();
  ASSERT_TRUE(RunLoopUntil([&] { return again->ExitStatus().has_value(); }));
  EXPECT_EQ(again->ExitStatus(), 0);
  EXPECT_TRUE(RunLoopUntil([&] {
    std::string state;
    testing::RunToEnd({"xprop", "-id", main_id, "_NET_WM_STATE"}, std::chrono::seconds(5), &state);
    return state.find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  }));
}

TEST_F(ProgramTest, WithAccessibilityOffOnlyThePermissionWindowShowsUntilItIsTurnedOnEitherWay) {
  for (const bool by_button : {false, true}) {
    SCOPED_TRACE(by_button ? "the window's button" : "from outside");
    ASSERT_TRUE(testing::SetDesktopAccessibility(false));
    RunningProgram program;
    ASSERT_TRUE(RunLoopUntil([&] { return PermissionWindowShown(program.Pid()); },
                             std::chrono::seconds(20)));
    Accessibles seen;
    ASSERT_TRUE(RunLoopUntil([&] {
      seen = AccessiblesOf(program.Pid(), RevealText(Sealed::PermissionButtonTitle));
      return seen.position.has_value();
    }));
    EXPECT_TRUE(Holds(seen.texts, "    需要以下权限才能运行，请依次检查："))
        << ::testing::PrintToString(seen.texts);
    EXPECT_TRUE(Holds(seen.texts, RevealText(Sealed::PermissionName)));
    // Started again before setup: nothing new appears.
    const auto again = program.StartAgain();
    ASSERT_TRUE(RunLoopUntil([&] { return again->ExitStatus().has_value(); }));
    EXPECT_EQ(WindowsOf(program.Pid()).size(), 1u);

    const auto start = std::chrono::steady_clock::now();
    if (by_button)
      ASSERT_TRUE(testing::Xdotool({"mousemove", std::to_string(seen.position->first),
                                    std::to_string(seen.position->second), "click", "1"}));
    else
      ASSERT_TRUE(testing::SetDesktopAccessibility(true));
    ASSERT_TRUE(
        RunLoopUntil([&] { return MainWindowShown(program.Pid()); }, std::chrono::seconds(30)));
    std::cout << "main window up "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
              << " s after accessibility was turned on\n";
    EXPECT_TRUE(RunLoopUntil([&] { return !PermissionWindowShown(program.Pid()); }));
  }
}

TEST_F(ProgramTest, ClosingThePermissionWindowEndsTheProgramWithStatusZeroAndNothingLeft) {
  ASSERT_TRUE(testing::SetDesktopAccessibility(false));
  RunningProgram program;
  ASSERT_TRUE(
      RunLoopUntil([&] { return PermissionWindowShown(program.Pid()); }, std::chrono::seconds(20)));
  ASSERT_EQ(testing::RunToEnd({"wmctrl", "-i", "-c", WindowsOf(program.Pid()).front().id}), 0);
  ASSERT_TRUE(RunLoopUntil([&] { return program.process().ExitStatus().has_value(); }));
  EXPECT_EQ(program.process().ExitStatus(), 0);
  EXPECT_TRUE(RunLoopUntil([&] { return kill(-program.Pid(), 0) != 0; }))
      << "a process of the program is left";
}

TEST_F(ProgramTest, EndToEndTheProvidersSentencesArriveInSpanishInThePageAndTheHistory) {
  ASSERT_TRUE(testing::SetDesktopAccessibility(true));
  // The offline engine on its usual port, unless one already listens there.
  std::unique_ptr<BackgroundProcess> apy;
  const auto listening = [] {
    std::string sockets;
    testing::RunToEnd({"ss", "-Hltn", "sport = :2737"}, std::chrono::seconds(5), &sockets);
    return !sockets.empty();
  };
  if (!listening())
    apy = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{QUENSARY_SOURCE_DIR "/scripts/apertium-apy"});
  ASSERT_TRUE(RunLoopUntil(listening, std::chrono::seconds(60)));
  BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--word-ms", "40", "--pause-ms", "200"});
  RunningProgram program;
  ASSERT_TRUE(
      RunLoopUntil([&] { return MainWindowShown(program.Pid()); }, std::chrono::seconds(30)));
  // Capture runs once the page has started it: a first sentence shows when.
  ASSERT_TRUE(demo.WriteLine("Hello."));
  ASSERT_TRUE(RunLoopUntil([&] { return Holds(AccessiblesOf(program.Pid()).texts, "Hello"); },
                           std::chrono::seconds(30)));
  const std::vector<std::pair<std::string, std::string>> sentences = {
      {"Good morning.", "Buenos"},
      {"The house is big.", "casa"},
      {"Thank you very much.", "gracias"}};
  // Each sentence once the page shows the one before, as speech would come: two sentences
  // completed within one poll would leave only the later one to be taken as finished.
  for (const auto& [english, spanish] : sentences) {
    ASSERT_TRUE(demo.WriteLine(english));
    ASSERT_TRUE(RunLoopUntil([&] { return Holds(AccessiblesOf(program.Pid()).texts, english); },
                             std::chrono::seconds(30)));
  }
  std::vector<std::string> texts;
  EXPECT_TRUE(RunLoopUntil(
      [&] {
        texts = AccessiblesOf(program.Pid()).texts;
        for (const auto& [english, spanish] : sentences)
          if (!Holds(texts, spanish))
            return false;
        return true;
      },
      std::chrono::seconds(60)))
      << ::testing::PrintToString(texts);

  SQLiteHelper history(program.home() + "/data/quensary");
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
}

}  // namespace
}  // namespace quensary
