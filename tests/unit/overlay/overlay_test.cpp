#include <gtest/gtest.h>

#include "fakes/memory_preferences.h"
#include "overlay/float_state.h"
#include "overlay/hover_decision.h"
#include "overlay/overlay_page_protocol.h"
#include "overlay/overlay_placement.h"

namespace quensary {
namespace {

using Outcome = HoverOutcome;

TEST(HoverDecision, TheLockButtonOpensInputOnlyInsideIsActiveUnlessLockedOutsideIsPassive) {
  const ScreenRect window{100, 500, 837, 225};
  const ScreenRect lock{100 + 757, 500 + 145, 60, 60};
  struct Case {
    double x, y;
    ScreenRect lock;
    bool is_lock;
    Outcome outcome;
    bool inside;
  };
  for (const Case& c : std::initializer_list<Case>{
           {400, 600, lock, false, Outcome::kActive, true},
           {400, 600, lock, true, Outcome::kPassive, true},
           {99, 600, lock, false, Outcome::kPassive, false},
           {937, 600, lock, false, Outcome::kPassive, false},  // the right edge is outside
           {100, 500, lock, false, Outcome::kActive, true},    // the top-left corner is inside
           {860, 650, lock, false, Outcome::kOpenInputOnly, false},
           {860, 650, lock, true, Outcome::kOpenInputOnly, false},  // also when locked
           {100, 500, ScreenRect{100, 500, 0, 0}, false, Outcome::kActive,
            true},  // not laid out yet
       }) {
    bool inside = !c.inside;
    EXPECT_EQ(DecideHover(c.x, c.y, window, c.lock, c.is_lock, &inside), c.outcome)
        << c.x << "," << c.y;
    if (c.outcome != Outcome::kOpenInputOnly) {
      EXPECT_EQ(inside, c.inside) << c.x << "," << c.y;
    }
  }
}

TEST(HoverDecision, TheLockButtonOpensOnlyTheInputActiveDarkensAndFloatsPassiveClearsAndTops) {
  const HoverLook fresh;
  const HoverLook active{true, HoverLook::kActiveBackdrop, WindowControl::kFloatingLevel};
  const HoverLook passive{false, 0, WindowControl::kTopLevel};
  const HoverLook zoomed_normal{false, 0, WindowControl::kNormalLevel};  // a window command
  struct Case {
    Outcome outcome;
    HoverLook current, next;
  };
  for (const Case& c : std::initializer_list<Case>{
           {Outcome::kOpenInputOnly, passive, {true, 0, WindowControl::kTopLevel}},
           {Outcome::kOpenInputOnly, active, active},
           {Outcome::kOpenInputOnly, zoomed_normal, {true, 0, WindowControl::kNormalLevel}},
           {Outcome::kActive, passive, active},
           {Outcome::kPassive, active, passive},
           {Outcome::kPassive, zoomed_normal, passive},
       }) {
    EXPECT_EQ(LookAfter(c.outcome, c.current), c.next) << static_cast<int>(c.outcome);
  }
  EXPECT_EQ(fresh, (HoverLook{true, 0, WindowControl::kFloatingLevel}));
}

TEST(HoverDecision, ZoomedOnlyTheContentStripCountsAndTheBackdropStaysOff) {
  const ScreenRect screen{0, 0, 1920, 1080};
  for (const auto& [zoomed, content, height] : std::vector<std::tuple<bool, double, double>>{
           {true, 150, 150}, {false, 150, 1080}, {true, 0, 1080}, {true, 5000, 1080}}) {
    EXPECT_EQ(HoverArea(screen, zoomed, content).height, height) << zoomed << " " << content;
  }
  EXPECT_EQ(LookAfter(Outcome::kActive, HoverLook{}, true),
            (HoverLook{true, 0, WindowControl::kFloatingLevel}));
}

TEST(FloatState, EveryAssignmentNotifiesEvenWithoutAChange) {
  FloatState state;
  int notified = 0;
  state.Observe([&] { ++notified; });
  state.SetInarea(false);
  state.SetIsLock(true);
  state.SetIsLock(true);
  EXPECT_EQ(notified, 3);
}

TEST(OverlayPageProtocol, ContentHeightIsAWholeFinitePositiveNumberThatKeepsTheTopEdgeOnScreen) {
  for (const auto& [text, height] : std::vector<std::pair<std::string, double>>{
           {"300", 300}, {"150.5", 150.5}, {"+2e2", 200}, {"0x10", 16}}) {
    EXPECT_EQ(OverlayPageProtocol::ParseContentHeight(text), height) << text;
  }
  for (const std::string& text : std::initializer_list<std::string>{
           "0", "-5", "abc", " 300", "300px", "", "inf", "nan", "1e999",
           std::string("\0"
                       "300",
                       4),
           "\t300"}) {
    EXPECT_EQ(OverlayPageProtocol::ParseContentHeight(text), std::nullopt) << text;
  }
  const ScreenRect work{0, 0, 1920, 1050};
  const auto frame = OverlayPageProtocol::FrameForContentHeight({100, 500, 837, 225}, 300, work);
  EXPECT_EQ(std::tie(frame.x, frame.y, frame.width, frame.height),
            std::make_tuple(100.0, 500.0, 837.0, 300.0));
  const auto tall = OverlayPageProtocol::FrameForContentHeight({100, 500, 837, 225}, 5000, work);
  EXPECT_EQ(std::tie(tall.y, tall.height), std::make_tuple(0.0, 1050.0))
      << "never beyond the work area";
  EXPECT_EQ(OverlayPageProtocol::FrameForContentHeight({100, 900, 837, 225}, 300, work).y, 750.0);
}

TEST(OverlayPageProtocol, ShownLinesAreTheNewestTwoWithOnlyTheTextsTheSettingsShow) {
  const std::string lines = R"([{"Id":"1","Ori":"old","Finish":true,"Tar":"viejo"},)"
                            R"({"Id":"2","Ori":"good","Finish":true,"Tar":"bueno","Fail":"x"},)"
                            R"({"Id":"3","Ori":"new","Finish":false,"Tar":""}])";
  struct Case {
    std::string lines;
    bool ori, tar;
    const char* shown;
  };
  for (const Case& c :
       std::initializer_list<Case>{{lines, true, true,
                                    R"([{"Finish":true,"Id":"2","Ori":"good","Tar":"bueno"},)"
                                    R"({"Finish":false,"Id":"3","Ori":"new","Tar":""}])"},
                                   {lines, false, true,
                                    R"([{"Finish":true,"Id":"2","Ori":"","Tar":"bueno"},)"
                                    R"({"Finish":false,"Id":"3","Ori":"","Tar":""}])"},
                                   {R"([{"Id":"9","Ori":"solo","Finish":true,"Tar":"only"}])", true,
                                    false, R"([{"Finish":true,"Id":"9","Ori":"solo","Tar":""}])"},
                                   {R"({"Id":"1"})", true, true, "[]"},
                                   {"not json", true, true, "[]"}}) {
    SettingsStore settings(std::make_shared<testing::MemoryPreferences>());
    settings.SetShowOriginal(c.ori);
    settings.SetShowTranslation(c.tar);
    EXPECT_EQ(OverlayPageProtocol::ShownLinesJson(c.lines, settings), c.shown) << c.lines;
  }
}

TEST(OverlayPageProtocol, OnlyTextAddedToTheSameLinesInTheSameOrderAddsText) {
  const std::string before =
      R"([{"Id":"1","Ori":"Hello","Tar":""},{"Id":"2","Ori":"a","Tar":"b"}])";
  for (const auto& [after, adds] : std::initializer_list<std::pair<std::string, bool>>{
           {R"([{"Id":"1","Ori":"Hello there","Tar":"Hola"},{"Id":"2","Ori":"a","Tar":"b"}])",
            true},
           {R"([{"Id":"1","Ori":"Help","Tar":""},{"Id":"2","Ori":"a","Tar":"b"}])", false},
           {R"([{"Id":"1","Ori":"Hello","Tar":""},{"Id":"2","Ori":"a","Tar":""}])", false},
           {R"([{"Id":"2","Ori":"a","Tar":"b"},{"Id":"3","Ori":"c","Tar":""}])", false},
           {"", false}}) {
    EXPECT_EQ(OverlayPageProtocol::OnlyAddsText(before, after), adds) << after;
  }
}

TEST(OverlayPlacement, FirstInTheLowerPartClearOfTheMainWindowAndKeptPlacesBackOnScreen) {
  using namespace OverlayPlacement;
  const ScreenRect work{0, 0, 1920, 1080};
  const ScreenRect first = FirstPlace(work, {541, 277, 837, 525}, 837, 225);
  EXPECT_EQ(first.x, 542);
  EXPECT_TRUE(first.y >= 802 && first.y + 225 <= 1080) << first.y;
  EXPECT_EQ(FirstPlace(work, {541, 500, 837, 580}, 837, 225).y, 500 - 16 - 225) << "above it";
  const std::string places = WithPlace(WithPlace("damaged", "A", {100, 900, 1000, 0}), "B", {});
  struct Case {
    ScreenRect work;
    std::string screen;
    std::optional<std::tuple<double, double, double>> place;
  };
  for (const Case& c : std::initializer_list<Case>{
           {work, "A", std::tuple(100.0, 900.0, 1000.0)},
           {{0, 0, 1280, 720}, "A", std::tuple(100.0, 660.0, 1000.0)},  // the screen shrank
           {{0, 0, 800, 600}, "A", std::tuple(0.0, 540.0, 800.0)},
           {work, "B", std::nullopt},  // no width
           {work, "C", std::nullopt},
       }) {
    const auto kept = KeptPlace(places, c.screen, c.work, 60);
    EXPECT_EQ(kept ? std::optional(std::tuple(kept->x, kept->y, kept->width)) : std::nullopt,
              c.place)
        << c.screen << " " << c.work.width;
  }
}

}  // namespace
}  // namespace quensary
