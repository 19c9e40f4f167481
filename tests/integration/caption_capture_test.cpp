// Caption capture over the real AT-SPI stack: test providers and the demo provider run as
// processes of their own, and the reads go through AtspiAccessibility as the caption worker's do.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <atspi/atspi-constants.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "capture/caption_separator.h"
#include "capture/language_source.h"
#include "fakes/caption_rows.h"
#include "pipeline/sentence_tracker.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/atspi/atspi_element.h"
#include "platform/glib/key_file_preferences.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"
#include "support/settings_store.h"

namespace quensary {
namespace {

using json = nlohmann::json;
using testing::BackgroundProcess;
using testing::JoinedRows;
using testing::RunLoopUntil;
using Clock = std::chrono::steady_clock;

std::string WindowId() {
  return RevealText(Sealed::CaptionWindowIdentifier);
}
std::string Subrole() {
  return RevealText(Sealed::CaptionSubrole);
}

// A caption window of the test provider with the given rows.
json CaptionWindow(json rows, bool skip_taskbar = true) {
  return {{"identifier", WindowId()},     {"title", "captions"},
          {"skip_taskbar", skip_taskbar}, {"depth", 2},
          {"rows", std::move(rows)},      {"container_subrole", Subrole()}};
}

class CaptionCapture : public ::testing::Test {
 protected:
  std::unique_ptr<BackgroundProcess> StartProvider(const json& windows) {
    auto provider = std::make_unique<BackgroundProcess>(std::vector<std::string>{
        QUENSARY_CAPTION_TEST_PROVIDER, json{{"windows", windows}}.dump()});
    EXPECT_TRUE(provider->Running());
    return provider;
  }

  std::unique_ptr<BackgroundProcess> StartDemo(std::vector<std::string> options) {
    options.insert(options.begin(), QUENSARY_CAPTION_DEMO);
    auto demo = std::make_unique<BackgroundProcess>(options);
    EXPECT_TRUE(demo->Running());
    return demo;
  }

  // Looks again every 50 ms, running the main loop in between, until the condition holds.
  static bool Eventually(const std::function<bool()>& condition,
                         std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    auto next = Clock::now();
    return RunLoopUntil(
        [&] {
          if (Clock::now() < next)
            return false;
          next = Clock::now() + std::chrono::milliseconds(50);
          return condition();
        },
        timeout);
  }

  // Waits until the process is listed with a window (so the desktop knows its policy).
  bool WaitListed(pid_t pid, ActivationPolicy policy) {
    return Eventually([&] {
      for (const auto& app : accessibility_.RunningApplications()) {
        if (app.pid == pid && app.policy == policy)
          return true;
      }
      return false;
    });
  }

  std::string Read() { return LanguageSource::ReadCaption(accessibility_); }

  AtspiAccessibility accessibility_;
};

// ---- Reading the rows of a real caption container.

TEST_F(CaptionCapture, RowsAreReadTopToBottomLeavingOutUnplacedAndBlankRows) {
  auto provider = StartProvider(json::array({CaptionWindow({{{"text", "Hello"}, {"y", 40}},
                                                            {{"text", " world \n"}, {"y", 10}},
                                                            {{"text", "no position"}},
                                                            {{"text", " \n  "}, {"y", 20}}})}));
  const std::string expected = JoinedRows({"world", "Hello"});
  ASSERT_TRUE(Eventually([&] { return Read() == expected; })) << Read();
}

TEST_F(CaptionCapture, OneRowGivesNoSeparator) {
  auto provider = StartProvider(json::array({CaptionWindow({{{"text", "  alone\n"}, {"y", 5}}})}));
  ASSERT_TRUE(Eventually([&] { return Read() == "alone"; })) << Read();
}

TEST_F(CaptionCapture, NoRowsOrUnreadableRowsGiveTheEmptyText) {
  auto provider = StartProvider(
      json::array({CaptionWindow(json::array()),
                   CaptionWindow({{{"text", "unplaced"}}, {{"text", ""}, {"y", 3}}})}));
  ASSERT_TRUE(WaitListed(provider->Pid(), ActivationPolicy::kAccessory));
  // Both windows and their containers are found; they just hold nothing readable.
  ASSERT_TRUE(Eventually([&] {
    const auto app = accessibility_.ApplicationElement(provider->Pid());
    const auto windows = app ? app->Windows() : std::nullopt;
    if (!windows || windows->size() != 2)
      return false;
    for (const auto& window : *windows) {
      const auto container = LanguageSource::FindCaptionElement(*window);
      if (!container || LanguageSource::ReadCaptionText(*container) != "")
        return false;
    }
    return true;
  }));
  EXPECT_EQ(Read(), "");
}

TEST_F(CaptionCapture, SeparatorInsideARowSplitsItInThePoll) {
  const std::string row = "one" + std::string(CaptionSeparator) + "two";
  auto provider = StartProvider(json::array({CaptionWindow({{{"text", row}, {"y", 5}}})}));
  // The reader keeps the character; the poll cuts the text there as if into two rows.
  ASSERT_TRUE(Eventually([&] { return Read() == row; })) << Read();
  SentenceTracker tracker([this] { return Read(); }, std::make_shared<SystemClock>());
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"one", true}));
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"two", false}));
}

// ---- Finding the provider.

TEST_F(CaptionCapture, FirstListedAccessoryProviderWins) {
  auto first = StartProvider(json::array({CaptionWindow({{{"text", "first"}, {"y", 1}}})}));
  ASSERT_TRUE(WaitListed(first->Pid(), ActivationPolicy::kAccessory));
  auto second = StartProvider(json::array({CaptionWindow({{{"text", "second"}, {"y", 1}}})}));
  ASSERT_TRUE(WaitListed(second->Pid(), ActivationPolicy::kAccessory));
  EXPECT_EQ(Read(), "first");
  first->Kill();
  ASSERT_TRUE(Eventually([&] { return Read() == "second"; })) << Read();
}

TEST_F(CaptionCapture, RegularApplicationIsNeverFound) {
  auto regular = StartProvider(
      json::array({CaptionWindow({{{"text", "regular"}, {"y", 1}}}, /*skip_taskbar=*/false)}));
  ASSERT_TRUE(WaitListed(regular->Pid(), ActivationPolicy::kRegular));
  EXPECT_EQ(LanguageSource::FindCaptionWindow(accessibility_), nullptr);
  auto accessory = StartProvider(json::array({CaptionWindow({{{"text", "accessory"}, {"y", 1}}})}));
  ASSERT_TRUE(Eventually([&] { return Read() == "accessory"; })) << Read();
}

TEST_F(CaptionCapture, ApplicationWithMixedWindowsIsRegular) {
  // One window in the taskbar is enough to make an application regular.
  auto provider = StartProvider(json::array({CaptionWindow({{{"text", "hidden"}, {"y", 1}}}),
                                             json{{"title", "main"}, {"skip_taskbar", false}}}));
  ASSERT_TRUE(WaitListed(provider->Pid(), ActivationPolicy::kRegular));
  EXPECT_EQ(LanguageSource::FindCaptionWindow(accessibility_), nullptr);
}

TEST_F(CaptionCapture, ApplicationWhoseWindowsCannotBeReadIsSkipped) {
  auto frozen = StartProvider(json::array({CaptionWindow({{{"text", "frozen"}, {"y", 1}}})}));
  ASSERT_TRUE(WaitListed(frozen->Pid(), ActivationPolicy::kAccessory));
  auto live = StartProvider(json::array({CaptionWindow({{{"text", "live"}, {"y", 1}}})}));
  ASSERT_TRUE(WaitListed(live->Pid(), ActivationPolicy::kAccessory));
  ASSERT_TRUE(Eventually([&] { return Read() == "frozen"; }));
  frozen->Freeze();
  ASSERT_TRUE(Eventually([&] { return Read() == "live"; })) << Read();
  frozen->Thaw();
  ASSERT_TRUE(Eventually([&] { return Read() == "frozen"; })) << Read();
}

TEST_F(CaptionCapture, WindowCarryingTheSubroleItselfIsNotReturned) {
  json window = CaptionWindow({{{"text", "rows"}, {"y", 1}}});
  window["subrole"] = Subrole();
  window["container_subrole"] = "something else";
  auto provider = StartProvider(json::array({window}));
  AccessibleElementPtr found;
  ASSERT_TRUE(Eventually(
      [&] { return (found = LanguageSource::FindCaptionWindow(accessibility_)) != nullptr; }));
  EXPECT_EQ(found->Subrole(), Subrole());
  EXPECT_EQ(LanguageSource::FindCaptionElement(*found), nullptr);
  EXPECT_EQ(FindFirstDescendantWithSubroleByWalk(*found, Subrole()), nullptr);
  EXPECT_EQ(Read(), "");
}

TEST_F(CaptionCapture, CollectionSearchFindsTheSameElementAsTheWalk) {
  auto demo =
      StartDemo({"--transcript", QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt",
                 "--extra-widgets", "300", "--loop"});
  AccessibleElementPtr window;
  ASSERT_TRUE(Eventually(
      [&] { return (window = LanguageSource::FindCaptionWindow(accessibility_)) != nullptr; }));
  const auto by_collection = window->FindFirstDescendantWithSubrole(Subrole());
  const auto by_walk = FindFirstDescendantWithSubroleByWalk(*window, Subrole());
  ASSERT_NE(by_collection, nullptr);
  ASSERT_NE(by_walk, nullptr);
  EXPECT_TRUE(by_collection->IsSameElement(*by_walk));
  // A subrole that nothing carries: both give nothing.
  EXPECT_EQ(window->FindFirstDescendantWithSubrole(Subrole() + "x"), nullptr);
  EXPECT_EQ(FindFirstDescendantWithSubroleByWalk(*window, Subrole() + "x"), nullptr);
  // A case variant is matched by the toolkit but not by the exact search.
  std::string upper = Subrole();
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(window->FindFirstDescendantWithSubrole(upper), nullptr);
}

TEST_F(CaptionCapture, DemoProviderShowsCaptionsAndStoresItsLanguage) {
  auto demo = StartDemo({"--language", "fr-CA", "--word-ms", "40", "--pause-ms", "100"});
  demo->WriteLine("Bonjour tout le monde.");
  demo->WriteLine("Comment allez-vous?");
  ASSERT_TRUE(Eventually([&] {
    return Read() == JoinedRows({"Bonjour tout le monde.", "Comment allez-vous?"});
  })) << Read();
  SettingsStore settings(
      std::make_shared<KeyFilePreferences>(KeyFilePreferences::DefaultConfigDir()));
  EXPECT_EQ(settings.ProviderLanguage(), "fr");
}

// ---- Sessions without X11 or without an accessibility bus.

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(CaptionCapture, WithoutX11EveryApplicationIsExaminedAndTheIdentifierDecides) {
  // A provider that is in the taskbar: with X11 it is never found.
  auto regular = StartProvider(
      json::array({CaptionWindow({{{"text", "no policy"}, {"y", 1}}}, /*skip_taskbar=*/false)}));
  ASSERT_TRUE(WaitListed(regular->Pid(), ActivationPolicy::kRegular));
  EXPECT_EQ(Read(), "");

  // Without an X server the bus is found through the session bus, and nothing tells the policy.
  ScopedEnv no_display("DISPLAY", nullptr);
  AtspiAccessibility without_x11;
  ASSERT_TRUE(without_x11.Reachable());
  EXPECT_FALSE(without_x11.KeepsWindowsOnScreen());
  bool listed_unknown = false;
  for (const auto& app : without_x11.RunningApplications())
    listed_unknown =
        listed_unknown || (app.pid == regular->Pid() && app.policy == ActivationPolicy::kUnknown);
  EXPECT_TRUE(listed_unknown);
  EXPECT_EQ(LanguageSource::ReadCaption(without_x11), "no policy");
}

TEST_F(CaptionCapture, WithoutAnAccessibilityBusEveryReadIsEmpty) {
  auto provider = StartProvider(json::array({CaptionWindow({{{"text", "unseen"}, {"y", 1}}})}));
  ASSERT_TRUE(Eventually([&] { return Read() == "unseen"; }));
  ScopedEnv bogus_bus("AT_SPI_BUS_ADDRESS", "unix:path=/nonexistent/quensary-no-bus");
  AtspiAccessibility without_bus;
  EXPECT_FALSE(without_bus.Reachable());
  EXPECT_TRUE(without_bus.RunningApplications().empty());
  EXPECT_EQ(LanguageSource::ReadCaption(without_bus), "");
  LanguageSource::SetCaptionWindowShown(without_bus, false);
}

// ---- A provider that freezes or goes away.

TEST_F(CaptionCapture, FrozenOrKilledProviderYieldsNothingQuicklyAndIsPickedUpAgain) {
  const json windows = json::array({CaptionWindow({{{"text", "still here"}, {"y", 1}}})});
  auto provider = StartProvider(windows);
  ASSERT_TRUE(Eventually([&] { return Read() == "still here"; }));

  provider->Freeze();
  const auto start = Clock::now();
  const std::string frozen_read = Read();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::printf("read with a frozen provider: %lld ms\n", static_cast<long long>(took.count()));
  EXPECT_EQ(frozen_read, "");
  // About a second at most, never the 15 s a default time-out would cost.
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  provider->Thaw();
  ASSERT_TRUE(Eventually([&] { return Read() == "still here"; })) << Read();

  provider->Kill();
  ASSERT_TRUE(Eventually([&] { return Read() == ""; }));
  auto restarted = StartProvider(windows);
  ASSERT_TRUE(Eventually([&] { return Read() == "still here"; })) << Read();
}

// ---- Hiding and showing the provider's window.

// The window's state bits as AT-SPI reports them.
bool Iconified(const AccessibleElementPtr& window) {
  const auto& element = static_cast<const AtspiElement&>(*window);
  auto session = AtspiSession::Open(X11Desktop::Connect());
  if (!session)
    return false;
  const GVariantPtr reply = session->Call(element.bus_name(), element.path(),
                                         "org.a11y.atspi.Accessible", "GetState", nullptr, "(au)");
  if (!reply)
    return false;
  GVariantPtr words(g_variant_get_child_value(reply.get(), 0));
  gsize count = 0;
  const auto* bits =
      static_cast<const guint32*>(g_variant_get_fixed_array(words.get(), &count, sizeof(guint32)));
  const int state = ATSPI_STATE_ICONIFIED;
  return count > static_cast<gsize>(state / 32) && (bits[state / 32] >> (state % 32)) & 1;
}

TEST_F(CaptionCapture, UnderAWindowManagerHidingIconifiesAndShowingRestores) {
  if (!accessibility_.KeepsWindowsOnScreen())
    GTEST_SKIP() << "needs a window manager";
  json window = CaptionWindow({{{"text", "shown"}, {"y", 1}}});
  window["x"] = 300;
  window["y"] = 500;
  auto provider = StartProvider(json::array({window}));
  // The window manager places the window when it takes it on: wait until it is managed and its
  // position has settled (the same on two looks in a row).
  ASSERT_TRUE(WaitListed(provider->Pid(), ActivationPolicy::kAccessory));
  AccessibleElementPtr found;
  std::optional<ScreenPoint> last;
  ASSERT_TRUE(Eventually([&] {
    found = LanguageSource::FindCaptionWindow(accessibility_);
    const auto position = found ? found->Position() : std::nullopt;
    const bool settled =
        position && last && position->x == last->x && position->y == last->y && position->y > 0;
    last = position;
    return settled;
  }));
  const double x = last->x;

  LanguageSource::SetCaptionWindowShown(accessibility_, false);
  ASSERT_TRUE(Eventually([&] { return Iconified(found); }));
  EXPECT_EQ(Read(), "shown");  // still readable while hidden

  LanguageSource::SetCaptionWindowShown(accessibility_, true);
  ASSERT_TRUE(Eventually([&] {
    const auto position = found->Position();
    return !Iconified(found) && position && position->y == 100;
  })) << found->Position()->y;
  EXPECT_EQ(found->Position()->x, x);
  EXPECT_EQ(Read(), "shown");
}

TEST_F(CaptionCapture, WithoutAWindowManagerTheWindowIsMovedOffScreenAndBack) {
  if (accessibility_.KeepsWindowsOnScreen())
    GTEST_SKIP() << "runs without a window manager (scripts/headless --no-wm)";
  json window = CaptionWindow({{{"text", "moved"}, {"y", 1}}});
  window["x"] = 260;
  window["y"] = 480;
  auto provider = StartProvider(json::array({window}));
  AccessibleElementPtr found;
  ASSERT_TRUE(Eventually([&] {
    found = LanguageSource::FindCaptionWindow(accessibility_);
    return found && found->Position() && found->Position()->y == 480;
  }));

  LanguageSource::SetCaptionWindowShown(accessibility_, false);
  ASSERT_TRUE(Eventually([&] { return found->Position() && found->Position()->y == -10000; }));
  EXPECT_EQ(found->Position()->x, 260);
  EXPECT_EQ(Read(), "moved");

  LanguageSource::SetCaptionWindowShown(accessibility_, true);
  ASSERT_TRUE(Eventually([&] { return found->Position() && found->Position()->y == 100; }));
  EXPECT_EQ(found->Position()->x, 260);
}

}  // namespace
}  // namespace quensary
