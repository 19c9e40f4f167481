#include "capture/language_source.h"

#include <gtest/gtest.h>

#include <string>

#include "capture/caption_separator.h"
#include "fakes/caption_rows.h"
#include "fakes/fake_accessibility.h"
#include "fakes/test_clock.h"
#include "pipeline/sentence_tracker.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using testing::FakeAccessibility;
using testing::FakeElement;
using testing::JoinedRows;
using Policy = ActivationPolicy;

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

// ---- Finding the caption window among the running applications.

TEST(CaptionWindowDiscovery, FirstListedAccessoryApplicationWins) {
  FakeAccessibility desktop;
  auto first = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
  AddWindow(desktop.AddApp(11, Policy::kAccessory), WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), first);
}

TEST(CaptionWindowDiscovery, ApplicationsOtherThanAccessoryAreNeverExamined) {
  FakeAccessibility desktop;
  AddWindow(desktop.AddApp(10, Policy::kRegular), WindowId());
  AddWindow(desktop.AddApp(11, Policy::kProhibited), WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), nullptr);
  // Not even their elements were asked for.
  EXPECT_TRUE(desktop.elements_asked.empty());

  auto accessory = AddWindow(desktop.AddApp(12, Policy::kAccessory), WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), accessory);
  EXPECT_EQ(desktop.elements_asked, std::vector<int32_t>{12});
}

TEST(CaptionWindowDiscovery, ApplicationOfUnknownPolicyIsExamined) {
  // Without X11 nothing tells an accessory application from a regular one: the identifier
  // alone decides.
  FakeAccessibility desktop;
  AddWindow(desktop.AddApp(10, Policy::kUnknown), "other");
  auto caption = AddWindow(desktop.AddApp(11, Policy::kUnknown), WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), caption);
}

TEST(CaptionWindowDiscovery, UnreadableApplicationsAndWindowsAreSkipped) {
  FakeAccessibility desktop;
  desktop.AddApp(10, Policy::kAccessory)->windows.reset();    // windows cannot be read
  desktop.AddApp(11, Policy::kAccessory);                     // no windows at all
  desktop.apps.push_back({12, Policy::kAccessory, nullptr});  // no application element
  auto app = desktop.AddApp(13, Policy::kAccessory);
  AddWindow(app, std::nullopt);  // identifier cannot be read
  app->windows->push_back(nullptr);
  auto caption = AddWindow(app, WindowId());
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), caption);
}

TEST(CaptionWindowDiscovery, IdentifierMustMatchExactly) {
  FakeAccessibility desktop;
  auto app = desktop.AddApp(10, Policy::kAccessory);
  AddWindow(app, " " + WindowId());
  AddWindow(app, WindowId() + "\n");
  std::string upper = WindowId();
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  AddWindow(app, upper);
  AddWindow(app, WindowId().substr(1));
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), nullptr);
}

TEST(CaptionWindowDiscovery, NothingRunningFindsNothing) {
  FakeAccessibility desktop;
  EXPECT_EQ(LanguageSource::FindCaptionWindow(desktop), nullptr);
  EXPECT_EQ(LanguageSource::ReadCaption(desktop), "");
}

// ---- Moving the caption window on and off the screen.

TEST(CaptionWindowShown, HideThenShowKeepsXAndEndsAtY100) {
  FakeAccessibility desktop;
  auto window = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
  window->position = ScreenPoint{321, 654};
  LanguageSource::SetCaptionWindowShown(desktop, false);
  LanguageSource::SetCaptionWindowShown(desktop, true);
  EXPECT_EQ(window->actions, (std::vector<std::string>{"move 321,-10000", "move 321,100"}));
}

TEST(CaptionWindowShown, UnreadablePositionMovesToXZero) {
  FakeAccessibility desktop;
  auto window = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
  window->position.reset();
  // The fake records the write but keeps no position, so both moves start from (0, 0).
  LanguageSource::SetCaptionWindowShown(desktop, true);
  ASSERT_EQ(window->actions.size(), 1u);
  EXPECT_EQ(window->actions[0], "move 0,100");
}

TEST(CaptionWindowShown, WithoutCaptionWindowNothingHappens) {
  FakeAccessibility desktop;
  auto other = AddWindow(desktop.AddApp(10, Policy::kAccessory), "other");
  auto regular = AddWindow(desktop.AddApp(11, Policy::kRegular), WindowId());
  LanguageSource::SetCaptionWindowShown(desktop, false);
  EXPECT_TRUE(other->actions.empty());
  EXPECT_TRUE(regular->actions.empty());
}

TEST(CaptionWindowShown, UnderAWindowManagerHidingIconifiesAndShowingRestoresFirst) {
  FakeAccessibility desktop;
  desktop.keeps_windows_on_screen = true;
  auto window = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
  window->position = ScreenPoint{40, 300};
  LanguageSource::SetCaptionWindowShown(desktop, false);
  LanguageSource::SetCaptionWindowShown(desktop, true);
  EXPECT_EQ(window->actions,
            (std::vector<std::string>{"move 40,-10000", "iconify", "restore", "move 40,100"}));
}

// ---- Finding the caption container below a window.

TEST(CaptionElementSearch, FirstMatchInPreOrderWins) {
  auto root = FakeElement::Make();
  auto first_branch = root->Add(FakeElement::Make());
  auto deep = first_branch->Add(FakeElement::Make())->Add(FakeElement::Make());
  deep->subrole = Subrole();
  auto shallow_later = root->Add(FakeElement::Make());
  shallow_later->subrole = Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), deep);
}

TEST(CaptionElementSearch, MatchStopsTheSearchBeforeItsOwnSubtree) {
  auto root = FakeElement::Make();
  auto outer = root->Add(FakeElement::Make());
  outer->subrole = Subrole();
  auto inner = outer->Add(FakeElement::Make());
  inner->subrole = Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), outer);
  EXPECT_EQ(outer->children_reads(), 0);
}

TEST(CaptionElementSearch, RootItselfIsNeverReturned) {
  auto root = FakeElement::Make();
  root->subrole = Subrole();
  root->Add(FakeElement::Make())->subrole = "something else";
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), nullptr);
}

TEST(CaptionElementSearch, UnreadableSubrolesAndChildrenAreSearchedPast) {
  auto root = FakeElement::Make();
  root->Add(FakeElement::Make());  // no subrole, children unreadable
  auto no_subrole = root->Add(FakeElement::Make());
  auto found = no_subrole->Add(FakeElement::Make());
  found->subrole = Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), found);

  auto unreadable = FakeElement::Make();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*unreadable), nullptr);
}

TEST(CaptionElementSearch, SubroleMustMatchExactly) {
  auto root = FakeElement::Make();
  root->Add(FakeElement::Make())->subrole = Subrole() + " ";
  root->Add(FakeElement::Make())->subrole = "x" + Subrole();
  EXPECT_EQ(LanguageSource::FindCaptionElement(*root), nullptr);
}

// ---- Reading the rows of the container.

TEST(CaptionTextReader, RowsAreOrderedTopToBottomAndTrimmed) {
  auto container = FakeElement::Make();
  container->Add(FakeElement::Row("Hello", 40));
  container->Add(FakeElement::Row(" world \n", 10));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), JoinedRows({"world", "Hello"}));
}

TEST(CaptionTextReader, RowsWithoutPositionOrTextAreLeftOut) {
  auto container = FakeElement::Make();
  container->Add(FakeElement::Row("no position", std::nullopt));
  container->Add(FakeElement::Row(" \n\t \r\n", 5));
  container->Add(FakeElement::Row("\xC2\xA0\xE2\x80\x83\xE2\x80\xA8", 6));  // NBSP, em space, LS
  auto no_text = FakeElement::Make();
  no_text->position = ScreenPoint{0, 1};
  container->Add(no_text);
  container->children->push_back(nullptr);
  container->Add(FakeElement::Row("kept", 50));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), "kept");
}

TEST(CaptionTextReader, OneRowHasNoSeparator) {
  auto container = FakeElement::Make();
  container->Add(FakeElement::Row("\n  only row  ", 3));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), "only row");
}

TEST(CaptionTextReader, EqualHeightsKeepChildOrder) {
  auto container = FakeElement::Make();
  container->Add(FakeElement::Row("c", 20));
  container->Add(FakeElement::Row("a", 10));
  container->Add(FakeElement::Row("b", 10));
  container->Add(FakeElement::Row("d", 20));
  container->Add(FakeElement::Row("top", -5));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), JoinedRows({"top", "a", "b", "c", "d"}));
}

TEST(CaptionTextReader, NoRowsOrUnreadableChildrenGiveEmptyText) {
  auto empty = FakeElement::Make();
  empty->children.emplace();
  EXPECT_EQ(LanguageSource::ReadCaptionText(*empty), "");
  auto unreadable = FakeElement::Make();
  EXPECT_EQ(LanguageSource::ReadCaptionText(*unreadable), "");
}

TEST(CaptionTextReader, InnerWhitespaceSeparatorsAndDamagedBytesStay) {
  auto container = FakeElement::Make();
  const std::string with_separator = "one" + std::string(CaptionSeparator) + "two";
  container->Add(FakeElement::Row("  a  b ", 1));
  container->Add(FakeElement::Row(with_separator, 2));
  container->Add(FakeElement::Row(" \xFF\xFE ", 3));  // not UTF-8: kept, only blanks trimmed
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container),
            JoinedRows({"a  b", with_separator, "\xFF\xFE"}));
}

TEST(CaptionTextReader, GrandchildrenAreNotRows) {
  auto container = FakeElement::Make();
  auto group = container->Add(FakeElement::Make());
  group->Add(FakeElement::Row("nested", 5));
  EXPECT_EQ(LanguageSource::ReadCaptionText(*container), "");
}

// ---- One whole read.

TEST(CaptionRead, WindowContainerAndRowsMakeTheText) {
  FakeAccessibility desktop;
  AddWindow(desktop.AddApp(9, Policy::kRegular), WindowId())->Add(FakeElement::Make())->subrole =
      Subrole();
  auto window = AddWindow(desktop.AddApp(10, Policy::kAccessory), WindowId());
  auto container = window->Add(FakeElement::Make())->Add(FakeElement::Make());
  container->subrole = Subrole();
  container->Add(FakeElement::Row("second", 30));
  container->Add(FakeElement::Row("first", 20));
  EXPECT_EQ(LanguageSource::ReadCaption(desktop), JoinedRows({"first", "second"}));

  container->subrole = "gone";
  EXPECT_EQ(LanguageSource::ReadCaption(desktop), "");
}

// ---- The poll reading through the seam.

TEST(CaptionPoll, ReadsTheProviderOnEveryTickAndCutsRowsAtTheSeparator) {
  auto desktop = std::make_shared<FakeAccessibility>();
  auto window = AddWindow(desktop->AddApp(10, Policy::kAccessory), WindowId());
  auto container = window->Add(FakeElement::Make());
  container->subrole = Subrole();
  auto row = container->Add(FakeElement::Row("Good", 10));
  SentenceTracker tracker(LanguageSource::CaptionTextSource(desktop),
                          std::make_shared<testing::TestClock>());

  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Good", false}));
  row->value = "Good morning";
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Good morning", false}));
  // One row holding the separator is two rows to the poll: the upper one is complete.
  row->value = "Good morning." + std::string(CaptionSeparator) + "Welcome";
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Good morning.", true}));
  EXPECT_EQ(tracker.PollCaption(), (CaptionEvent{"Welcome", false}));
  // The provider gone: nothing to report, nothing forgotten.
  desktop->apps.clear();
  EXPECT_EQ(tracker.PollCaption(), std::nullopt);
}

}  // namespace
}  // namespace quensary
