#include "pipeline/sentence_tracker.h"

#include <gtest/gtest.h>

#include <cctype>

#include "fakes/core_fixture.h"

namespace quensary {

// Failures print events as text, not as bytes.
void PrintTo(const CaptionEvent& event, std::ostream* out) {
  *out << (event.finished ? "finished " : "open ") << ::testing::PrintToString(event.text);
}

namespace {

using namespace std::chrono_literals;

// What a tick reports, and whether it writes the diagnostic line of a row pushed up.
struct Expected {
  std::optional<CaptionEvent> event;
  bool pushed = false;
};
Expected Open(std::string text) {
  return {CaptionEvent{std::move(text), false}};
}
Expected Done(std::string text) {
  return {CaptionEvent{std::move(text), true}};
}
Expected Pushed(std::string text) {
  return {CaptionEvent{std::move(text), true}, true};
}
const Expected None;

// One tick: how long after the previous one it comes, the rows shown (joined by '|'; "" is an
// empty read), what the poll reports, and how far the wall clock was set meanwhile.
struct Tick {
  std::chrono::milliseconds after;
  std::string rows;
  Expected expected;
  std::chrono::hours wall_set = {};
};

struct Scenario {
  const char* name;
  std::vector<Tick> ticks;
  std::vector<std::string> listed;  // the line list afterwards
  std::vector<std::string> stored;  // the history afterwards
};

const Scenario kScenarios[] = {
    {"a new row finishes the pushed-up one; the new row follows on the next tick",
     {{500ms, "Hello", Open("Hello")},
      {500ms, "Hello there.|How", Pushed("Hello there.")},
      {500ms, "Hello there.|How", Open("How")},
      {500ms, "Hello there.|How", None}},
     {"Hello there.|done", "How|open"},
     {"Hello there."}},
    {"a growing bottom row rewrites one open line",
     {{500ms, "We", Open("We")},
      {500ms, "We will", Open("We will")},
      {500ms, "We will see", Open("We will see")}},
     {"We will see|open"},
     {}},
    {"empty pieces between separators are no rows",
     {{500ms, "|A||B|", Pushed("A")}, {500ms, "||", None}, {500ms, "A|B", Open("B")}},
     {"A|done", "B|open"},
     {"A"}},
    {"an unchanged bottom row finishes after strictly more than 3 s, once",
     {{500ms, "Quiet now", Open("Quiet now")},
      {500ms, "Quiet now", None},  // first seen unchanged: the time starts
      {2999ms, "Quiet now", None},
      {1ms, "Quiet now", None},  // exactly 3.0 s is not enough
      {1ms, "Quiet now", Done("Quiet now")},
      {5000ms, "Quiet now", None}},
     {"Quiet now|done"},
     {"Quiet now"}},
    {"the wall clock set back or forward changes no interval",
     {{500ms, "Still", Open("Still")},
      {500ms, "Still", None},
      {2000ms, "Still", None, -1h},
      {1001ms, "Still", Done("Still")},
      {500ms, "Still|New", Open("New")},
      {500ms, "Still|New", None},
      {500ms, "Still|New", None, 2h}},
     {"Still|done", "New|open"},
     {"Still"}},
    {"a change starts the stable time again",
     {{500ms, "One", Open("One")},
      {500ms, "One", None},
      {2000ms, "One", None},
      {500ms, "One more", Open("One more")},
      {500ms, "One more", None},
      {3000ms, "One more", None},
      {1ms, "One more", Done("One more")}},
     {"One more|done"},
     {"One more"}},
    {"a row finished by the time rule is not reported again when pushed up",
     {{500ms, "Wait.", Open("Wait.")},
      {500ms, "Wait.", None},
      {3500ms, "Wait.", Done("Wait.")},
      {500ms, "Wait.|Go", Open("Go")},
      {500ms, "Wait.|Go on.|Then", Pushed("Go on.")}},
     {"Wait.|done", "Go on.|done"},
     {"Wait.", "Go on."}},
    {"a pushed-up row equal to the last finished one raises no event of its own",
     {{500ms, "Yes.", Open("Yes.")},
      {500ms, "Yes.|Yes.", Pushed("Yes.")},
      {500ms, "Yes.|Yes.", Open("Yes.")},
      {500ms, "Yes.|Yes.|Right", Open("Right")}},
     {"Yes.|done", "Right|open"},
     {"Yes."}},
    {"an empty read changes no state, however long it lasts",
     {{500ms, "Before|Still here", Pushed("Before")},
      {500ms, "Before|Still here", Open("Still here")},
      {500ms, "Before|Still here", None},
      {4000ms, "", None},
      {500ms, "Before|Still here", Done("Still here")}},
     {"Before|done", "Still here|done"},
     {"Before", "Still here"}},
};

// The scenario's name as a test name: its words joined in camel case.
std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info) {
  std::string name;
  bool word_start = true;
  for (const unsigned char c : std::string_view(info.param.name)) {
    if (std::isalnum(c))
      name += static_cast<char>(word_start ? std::toupper(c) : c);
    word_start = !std::isalnum(c);
  }
  return name;
}

// Drives the tracker as the worker does, each event applied to a real line list.
class SentenceTrackerTest : public testing::CoreFixture,
                            public ::testing::WithParamInterface<Scenario> {
 protected:
  std::string shown;
  SentenceTracker tracker{[this] { return shown; }, clock};
};

TEST_P(SentenceTrackerTest, Scenario) {
  size_t pushed = 0;
  for (const Tick& tick : GetParam().ticks) {
    clock->Advance(tick.after);
    clock->JumpWall(tick.wall_set);
    shown.clear();
    for (char c : tick.rows)
      shown += c == '|' ? std::string(CaptionSeparator) : std::string(1, c);
    const auto event = tracker.PollCaption();
    EXPECT_EQ(event, tick.expected.event) << tick.rows;
    pushed += tick.expected.pushed;
    if (event) {
      auto held = lines->LineLock();
      lines->UpsertLine(held, event->text, event->finished);
    }
  }
  EXPECT_EQ(Listed(), GetParam().listed);
  EXPECT_EQ(Stored(), GetParam().stored);
  // A row finished by being pushed up is reported on standard output.
  EXPECT_EQ(diagnostics.lines().size(), pushed);
  for (const auto& line : diagnostics.lines())
    EXPECT_EQ(line.rfind(RevealText(Sealed::FinishedRowPrefix) + " ", 0), 0u) << line;
}

INSTANTIATE_TEST_SUITE_P(Tracker, SentenceTrackerTest, ::testing::ValuesIn(kScenarios),
                         ScenarioName);

}  // namespace
}  // namespace quensary
