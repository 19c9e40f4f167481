// Caption capture over the real AT-SPI stack, for what only a real desktop shows: policies read
// from X11, the Collection search against the walk, providers that stall, freeze, die or come
// back, sessions without X11 or without an accessibility bus, and hiding the provider's window.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <atspi/atspi-constants.h>

#include <nlohmann/json.hpp>

#include "capture/caption_separator.h"
#include "capture/language_source.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/atspi/atspi_element.h"
#include "platform/glib/key_file_preferences.h"
#include "protocol/settings_store.h"
#include "support/adapter_names.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using json = nlohmann::json;
using testing::BackgroundProcess;
using testing::RunLoopUntil;

// A caption window of the test provider with the given rows.
json CaptionWindow(json rows, bool skip_taskbar = true) {
  return {{"identifier", RevealText(Sealed::CaptionWindowIdentifier)},
          {"skip_taskbar", skip_taskbar},
          {"rows", std::move(rows)},
          {"container_subrole", RevealText(Sealed::CaptionSubrole)}};
}

std::unique_ptr<BackgroundProcess> StartProvider(const json& windows) {
  return std::make_unique<BackgroundProcess>(
      std::vector<std::string>{QUENSARY_CAPTION_TEST_PROVIDER, json{{"windows", windows}}.dump()});
}

class CaptionCapture : public ::testing::Test {
 protected:
  // Waits until the process is listed with this policy (the desktop knows its windows).
  bool WaitListed(pid_t pid, ActivationPolicy policy) {
    return RunLoopUntil([&] {
      for (const auto& app : accessibility_.RunningApplications())
        if (app.pid == pid && app.policy == policy)
          return true;
      return false;
    });
  }
  std::string Read() { return LanguageSource::ReadCaption(accessibility_); }

  AtspiAccessibility accessibility_;
};

TEST_F(CaptionCapture, PoliciesComeFromX11AndWithoutX11OrABusTheIdentifierOrNothingDecides) {
  // One window in the taskbar makes an application regular: its caption window is never found.
  auto mixed = StartProvider(
      json::array({CaptionWindow({"hidden"}), json{{"title", "main"}, {"skip_taskbar", false}}}));
  ASSERT_TRUE(WaitListed(mixed->Pid(), ActivationPolicy::kRegular));
  EXPECT_EQ(Read(), "");
  auto accessory = StartProvider(json::array({CaptionWindow({"top", "bottom"})}));
  ASSERT_TRUE(RunLoopUntil([&] {
    return Read() == "top" + std::string(CaptionSeparator) + "bottom";
  })) << Read();
  accessory->Kill();
  // Without an X server the bus is found through the session bus, and nothing tells a policy.
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  {
    AtspiAccessibility without_x11;
    EXPECT_FALSE(without_x11.KeepsWindowsOnScreen());
    EXPECT_TRUE(RunLoopUntil([&] { return LanguageSource::ReadCaption(without_x11) == "hidden"; }));
  }
  setenv("DISPLAY", display.c_str(), 1);
  setenv("AT_SPI_BUS_ADDRESS", "unix:path=/nonexistent/quensary-no-bus", 1);
  AtspiAccessibility without_bus;
  EXPECT_FALSE(without_bus.Reachable());
  EXPECT_EQ(LanguageSource::ReadCaption(without_bus), "");
  unsetenv("AT_SPI_BUS_ADDRESS");
}

TEST_F(CaptionCapture, TheCollectionSearchFindsWhatTheWalkFindsAndNeverTheWindowItself) {
  BackgroundProcess demo({QUENSARY_CAPTION_DEMO, "--transcript",
                          QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt",
                          "--extra-widgets", "300", "--language", "fr-CA"});
  AccessibleElementPtr window;
  ASSERT_TRUE(RunLoopUntil(
      [&] { return (window = LanguageSource::FindCaptionWindow(accessibility_)) != nullptr; }));
  const std::string subrole = RevealText(Sealed::CaptionSubrole);
  const auto by_collection = window->FindFirstDescendantWithSubrole(subrole);
  const auto by_walk = FindFirstDescendantWithSubroleByWalk(*window, subrole);
  ASSERT_TRUE(by_collection && by_walk);
  EXPECT_TRUE(by_collection->IsSameElement(*by_walk));
  // The toolkit compares without regard to case; the search is exact.
  std::string upper = subrole;
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(window->FindFirstDescendantWithSubrole(upper), nullptr);
  // The demo stores its language where the program reads the provider's.
  EXPECT_EQ(SettingsStore(std::make_shared<KeyFilePreferences>(
                              KeyFilePreferences::DefaultConfigDir(), SettingsFileNames()))
                .ProviderLanguage(),
            "fr");
  demo.Stop();

  json self = CaptionWindow({"rows"});
  self["subrole"] = subrole;
  self["container_subrole"] = "something else";
  auto provider = StartProvider(json::array({self}));
  ASSERT_TRUE(RunLoopUntil(
      [&] { return (window = LanguageSource::FindCaptionWindow(accessibility_)) != nullptr; }));
  EXPECT_EQ(window->Subrole(), subrole);
  EXPECT_EQ(LanguageSource::FindCaptionElement(*window), nullptr);
}

// Change notices come from the watched provider alone: a regular application that speaks as
// well sends none once the provider has gone.
TEST_F(CaptionCapture, OnlyTheWatchedProviderSendsChangeNotices) {
  const std::string transcript = QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt";
  const std::vector<std::string> speaking = {
      QUENSARY_CAPTION_DEMO, "--transcript", transcript,   "--loop",
      "--word-ms",           "50",           "--pause-ms", "0"};
  auto provider = std::make_unique<BackgroundProcess>(speaking);
  std::vector<std::string> regular = speaking;
  regular.push_back("--regular");
  BackgroundProcess bystander(regular);
  auto accessibility = std::make_shared<AtspiAccessibility>();
  const auto read = LanguageSource::CaptionTextSource(accessibility);
  int notices = 0;
  accessibility->SetOnChange([&] { ++notices; });
  // Read as the worker does: every half second and after each notice (a toolkit reports changes
  // of what someone has read). The provider is watched once it has been found for a while; then
  // a word every 50 ms brings a notice each, give or take.
  int read_at = -1;
  auto read_when = std::chrono::steady_clock::now();
  EXPECT_TRUE(RunLoopUntil(
      [&] {
        const auto now = std::chrono::steady_clock::now();
        if (read_at != notices || now >= read_when) {
          read_at = notices;
          read_when = now + std::chrono::milliseconds(500);
          read();
        }
        return notices >= 20;
      },
      AtspiAccessibility::kSettleTime + std::chrono::seconds(3)));
  provider.reset();
  testing::RunLoopFor(std::chrono::milliseconds(300));
  const int after = notices;
  testing::RunLoopFor(std::chrono::seconds(1));
  EXPECT_EQ(notices, after);
}

TEST_F(CaptionCapture, AProviderThatStallsHalfWayGivesNoTextRatherThanPartOfIt) {
  json window = CaptionWindow({"first row", "slow row", "last row"});
  window["stall_row"] = 1;
  window["stall_ms"] = 600;  // beyond the 300 ms each call is given
  auto provider = StartProvider(json::array({window}));
  // Found without reading any row's text, which would stall it.
  AccessibleElementPtr container;
  ASSERT_TRUE(RunLoopUntil([&] {
    const auto found = LanguageSource::FindCaptionWindow(accessibility_);
    return (container = found ? LanguageSource::FindCaptionElement(*found) : nullptr) != nullptr;
  }));
  // The first row answers in time, the others do not: never "first row" alone.
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), "");
}

TEST_F(CaptionCapture, AFrozenOrKilledProviderYieldsNothingQuicklyAndIsPickedUpAgain) {
  const json windows = json::array({CaptionWindow({"still here"})});
  auto provider = StartProvider(windows);
  ASSERT_TRUE(RunLoopUntil([&] { return Read() == "still here"; }));
  provider->Freeze();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Read(), "");
  // About a second at most, never the 15 s a default time-out would cost.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  provider->Thaw();
  ASSERT_TRUE(RunLoopUntil([&] { return Read() == "still here"; })) << Read();
  provider->Kill();
  ASSERT_TRUE(RunLoopUntil([&] { return Read() == ""; }));
  auto restarted = StartProvider(windows);
  ASSERT_TRUE(RunLoopUntil([&] { return Read() == "still here"; })) << Read();
}

// Whether AT-SPI reports the window iconified.
bool Iconified(const AccessibleElementPtr& window) {
  const auto& element = static_cast<const AtspiElement&>(*window);
  const auto session = AtspiSession::Open(X11Desktop::Connect());
  const GVariantPtr reply = session->Call(element.bus_name(), element.path(),
                                          "org.a11y.atspi.Accessible", "GetState", nullptr, "(au)");
  gsize count = 0;
  const GVariantPtr words(reply ? g_variant_get_child_value(reply.get(), 0) : nullptr);
  const auto* bits =
      words ? static_cast<const guint32*>(g_variant_get_fixed_array(words.get(), &count, 4))
            : nullptr;
  return count > ATSPI_STATE_ICONIFIED / 32 &&
         (bits[ATSPI_STATE_ICONIFIED / 32] >> (ATSPI_STATE_ICONIFIED % 32)) & 1;
}

// Hiding moves the window off screen and back; under a window manager it is iconified too (a
// move off screen is clamped there). Its rows stay readable either way.
TEST_F(CaptionCapture, HidingAndShowingTheProvidersWindowKeepsItReadable) {
  const bool window_manager = accessibility_.KeepsWindowsOnScreen();
  json window = CaptionWindow({"shown"});
  window["x"] = 300;
  window["y"] = 500;
  auto provider = StartProvider(json::array({window}));
  // Wait until the window manager has placed the window: the same position for 200 ms.
  AccessibleElementPtr found;
  std::optional<ScreenPoint> last;
  auto since = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunLoopUntil([&] {
    found = LanguageSource::FindCaptionWindow(accessibility_);
    const auto now = found ? found->Position() : std::nullopt;
    if (!now || !last || now->x != last->x || now->y != last->y)
      since = std::chrono::steady_clock::now();
    last = now;
    return now && now->y > 0 &&
           std::chrono::steady_clock::now() - since > std::chrono::milliseconds(200);
  }));
  LanguageSource::SetCaptionWindowShown(accessibility_, false);
  ASSERT_TRUE(RunLoopUntil([&] {
    return window_manager ? Iconified(found) : found->Position() && found->Position()->y == -10000;
  }));
  EXPECT_EQ(Read(), "shown");
  LanguageSource::SetCaptionWindowShown(accessibility_, true);
  ASSERT_TRUE(RunLoopUntil(
      [&] { return !Iconified(found) && found->Position() && found->Position()->y == 100; }));
  EXPECT_EQ(found->Position()->x, last->x);
  EXPECT_EQ(Read(), "shown");
}

}  // namespace
}  // namespace quensary
