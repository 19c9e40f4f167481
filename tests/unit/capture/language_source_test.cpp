#include "capture/language_source.h"

#include <gtest/gtest.h>

#include "capture/caption_separator.h"
#include "fakes/fake_accessibility.h"
#include "fakes/test_clock.h"
#include "pipeline/sentence_tracker.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using testing::FakeAccessibility;
using testing::FakeElement;
using Policy = ActivationPolicy;

const std::string kHeart(CaptionSeparator);

std::string WindowId() {
  return RevealText(Sealed::CaptionWindowIdentifier);
}
std::string Subrole() {
  return RevealText(Sealed::CaptionSubrole);
}

FakeElement::Ptr AddWindow(const FakeElement::Ptr& app, std::optional<std::string> identifier) {
  auto window = FakeElement::Make();
  window->identifier = std::move(identifier);
  window->children.emplace();
  app->windows->push_back(window);
  return window;
}

TEST(CaptionWindowDiscovery, TheFirstAccessoryOrUnknownApplicationWithTheExactIdentifierWins) {
  FakeAccessibility desktop;
  AddWindow(desktop.AddApp(1, Policy::kRegular), WindowId());
  AddWindow(desktop.AddApp(2, Policy::kProhibited), WindowId());
  desktop.AddApp(3, Policy::kAccessory)->windows.reset();    // windows cannot be read
  desktop.AddApp(4, Policy::kAccessory);                     // no windows at all
  desktop.apps.push_back({5, Policy::kAccessory, nullptr});  // no application element
  auto app = desktop.AddApp(6, Policy::kAccessory);
  std::string upper = WindowId();
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::optional<std::string>& near :
       {std::optional<std::string>(), std::optional(" " + WindowId()),
        std::optional(WindowId() + "\n"), std::optional(upper),
        std::optional(WindowId().substr(1))})
    AddWindow(app, near);
  app->windows->push_back(nullptr);
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), nullptr);
  // Regular and prohibited applications are not even asked for their element.
  EXPECT_EQ(desktop.elements_asked, (std::vector<int32_t>{3, 4, 5, 6}));

  // Without X11 the policy is unknown: such an application is examined, and the identifier decides.
  auto unknown = AddWindow(desktop.AddApp(7, Policy::kUnknown), WindowId());
  AddWindow(desktop.AddApp(8, Policy::kAccessory), WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), unknown);
}

TEST(CaptionWindowShown, HidingMovesOffScreenAndShowingBackAtTheSameX) {
  for (const bool window_manager : {false, true}) {
    FakeAccessibility desktop;
    desktop.keeps_windows_on_screen = window_manager;
    AddWindow(desktop.AddApp(9, Policy::kRegular), WindowId());
    auto window = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
    window->position = ScreenPoint{321, 654};
    LanguageSource::SetCaptionWindowShown(desktop, false);
    LanguageSource::SetCaptionWindowShown(desktop, true);
    // Under a window manager a move off screen is clamped, so the window is iconified as well.
    const std::vector<std::string> expected =
        window_manager
            ? std::vector<std::string>{"move 321,-10000", "iconify", "restore", "move 321,100"}
            : std::vector<std::string>{"move 321,-10000", "move 321,100"};
    EXPECT_EQ(window->actions, expected);
  }
  FakeAccessibility nothing;
  LanguageSource::SetCaptionWindowShown(nothing, false);  // no window: nothing happens
}

TEST(CaptionElementSearch, FindsTheFirstExactMatchInPreOrderBelowTheRootOnly) {
  auto root = FakeElement::Make();
  root->subrole = Subrole();       // never the root itself
  root->Add(FakeElement::Make());  // no subrole, children unreadable
  auto first_branch = root->Add(FakeElement::Make());
  first_branch->Add(FakeElement::Make())->subrole = Subrole() + " ";
  first_branch->Add(FakeElement::Make())->subrole = "x" + Subrole();
  auto deep = first_branch->Add(FakeElement::Make())->Add(FakeElement::Make());
  deep->subrole = Subrole();
  deep->Add(FakeElement::Make())->subrole = Subrole();  // below a match: never looked at
  root->Add(FakeElement::Make())->subrole = Subrole();  // shallower, but later
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), deep);
  EXPECT_EQ(deep->children_reads, 0);
  EXPECT_EQ(LanguageSource::FindCaptionElement(*FakeElement::Make()), nullptr);
}

TEST(CaptionElementSearch, ACyclicOrEndlessTreeEndsTheWalkWithoutAMatch) {
  auto cyclic = FakeElement::Make();
  cyclic->Add(FakeElement::Make())->Add(cyclic);
  EXPECT_EQ(LanguageSource::FindCaptionElement(*cyclic), nullptr);
  cyclic->children.reset();  // break the cycle, so the test does not leak it

  auto deep = FakeElement::Make();
  auto node = deep;
  for (int i = 0; i < kMaxWalkDepth + 5; ++i)
    node = node->Add(FakeElement::Make());
  node->subrole = Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*deep), nullptr);

  auto wide = FakeElement::Make();
  for (size_t i = 0; i < kMaxWalkNodes; ++i)
    wide->Add(FakeElement::Make());
  wide->Add(FakeElement::Make())->subrole = Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*wide), nullptr);
}

TEST(CaptionTextReader, PlacedNonBlankChildrenTopToBottomTrimmedAndJoined) {
  auto container = FakeElement::Make();
  container->Add(FakeElement::Row("c", 20));
  container->Add(FakeElement::Row(" world \n", 10));
  container->Add(FakeElement::Row("no position", std::nullopt));
  container->Add(FakeElement::Row(" \n\t \r\n", 5));
  container->Add(FakeElement::Row("\xC2\xA0\xE2\x80\x83\xE2\x80\xA8", 6));  // NBSP, em space, LS
  container->Add(FakeElement::Row("  a  b ", 10));     // same height: kept order
  container->Add(FakeElement::Row(" \xFF\xFE ", 30));  // not UTF-8: kept, only blanks trimmed
  container->Add(FakeElement::Make())->Add(FakeElement::Row("grandchild", 1));
  container->children->push_back(nullptr);
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container),
            "world" + kHeart + "a  b" + kHeart + "c" + kHeart + "\xFF\xFE");

  auto too_many = FakeElement::Make();
  for (size_t i = 0; i <= kMaxChildReads; ++i)
    too_many->Add(FakeElement::Row("row", static_cast<double>(i)));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*too_many), "");
  EXPECT_EQ(LanguageSource::ReadCaptionText(*FakeElement::Make()), "");
}

TEST(CaptionRead, EveryTickReadsWindowContainerAndRowsAndThePollCutsAtTheSeparator) {
  auto desktop = std::make_shared<FakeAccessibility>();
  auto window = AddWindow(desktop->AddApp(10, Policy::kAccessory), WindowId());
  auto container = window->Add(FakeElement::Make())->Add(FakeElement::Make());
  container->subrole = Subrole();
  auto row = container->Add(FakeElement::Row("Good", 10));
  SentenceTracker tracker(LanguageSource::CaptionTextSource(desktop),
                          std::make_shared<testing::TestClock>());
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Good", false}));
  // One row holding the separator is two rows to the poll: the upper one is complete.
  row->value = "Good morning." + kHeart + "Welcome";
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Good morning.", true}));
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Welcome", false}));
  container->subrole = "gone";
  EXPECT_EQ(LanguageSource::ReadCaption(*desktop), "");
  // The provider read is the one watched for change notices; a read that misses its window
  // keeps the watch.
  EXPECT_EQ(desktop->watched, window.get());
  desktop->apps.clear();
  container->children.reset();  // the provider went: its elements answer no more
  EXPECT_EQ(tracker.PollCaption(), std::nullopt);
  EXPECT_EQ(desktop->watched, window.get());
}

// The caption source keeps the container it found and reads only its rows, until they cannot be
// read, the window leaves its application's windows, or the time for a new search has come.
TEST(CaptionRead, TheKeptContainerIsReadUntilItFailsOrIsDueForASearch) {
  using std::chrono::milliseconds;
  struct Case {
    const char* name;
    milliseconds later;
    bool rows_fail;  // the kept container stops answering
    bool hidden;     // the kept window leaves its application's windows
    std::optional<std::string> read;
    bool searched;
  };
  const milliseconds check = LanguageSource::kCheckListedAfter;
  const Case cases[] = {
      {"kept and answering", check - milliseconds(1), false, false, "old", false},
      {"rows fail", milliseconds(0), true, false, "new", true},
      {"still listed at the check", check, false, false, "old", false},
      {"hidden, seen at the check", check, false, true, "new", true},
      {"due for a search", LanguageSource::kSearchAgainAfter, false, false, "new", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto desktop = std::make_shared<FakeAccessibility>();
    auto clock = std::make_shared<testing::TestClock>();
    auto first = desktop->AddApp(1, Policy::kAccessory);
    auto kept_app = desktop->AddApp(2, Policy::kAccessory);
    auto kept = AddWindow(kept_app, WindowId())->Add(FakeElement::Make());
    kept->subrole = Subrole();
    kept->Add(FakeElement::Row("old", 1));
    const auto read = LanguageSource::CaptionWindowSource(desktop, clock);
    ASSERT_EQ(read(), "old");
    // Meanwhile a caption window comes first in the desktop's order.
    auto other = AddWindow(first, WindowId())->Add(FakeElement::Make());
    other->subrole = Subrole();
    other->Add(FakeElement::Row("new", 1));
    if (c.rows_fail)
      kept->children.reset();
    if (c.hidden)
      kept_app->windows->clear();
    desktop->elements_asked.clear();
    clock->Advance(c.later);
    EXPECT_EQ(read(), c.read);
    EXPECT_EQ(!desktop->elements_asked.empty(), c.searched);
  }
}

}  // namespace
}  // namespace quensary
