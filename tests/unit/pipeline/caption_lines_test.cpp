#include "pipeline/caption_lines.h"

#include <gtest/gtest.h>

#include <mutex>
#include <nlohmann/json.hpp>

#include "bus/bus_events.h"
#include "fakes/core_fixture.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Texts(const std::string& json) {
  std::vector<std::string> texts;
  for (const auto& line : nlohmann::json::parse(json))
    texts.push_back(line["Ori"]);
  return texts;
}

class CaptionLinesTest : public testing::CoreFixture {
 protected:
  std::string Upsert(const std::string& text, bool finished) {
    auto held = lines->LineLock();
    return lines->UpsertLine(held, text, finished);
  }
};

TEST_F(CaptionLinesTest, TheSeventyFirstLineDropsTheThirtyOldestFromTheListOnly) {
  for (int i = 0; i < 70; ++i)
    Upsert("line " + std::to_string(i), true);
  EXPECT_EQ(Listed().size(), 70u);
  Upsert("line 70", true);
  const auto listed = Listed();
  ASSERT_EQ(listed.size(), 41u);
  EXPECT_EQ(listed.front(), "line 30|done");
  EXPECT_EQ(Texts(published.Last()).size(), 41u);
  // The new line is stored, and the old rows stay: the latest 15, oldest first.
  const auto stored = Stored();
  EXPECT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored.front() + " " + stored.back(), "line 56 line 70");
}

TEST_F(CaptionLinesTest, DeletingOneIdOrEverythingChangesListAndHistoryAndPublishes) {
  for (const char* text : {"one", "two", "three"})
    Upsert(text, true);
  std::string two;
  {
    auto held = lines->LineLock();
    two = lines->LineList(held)[1]->Id;
    // A second listed line with the same Id goes too.
    lines->LineList(held).push_back(std::make_shared<CaptionLine>(two, "copy", false, ""));
  }
  lines->DeleteLines(two);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"one|done", "three|done"}));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(Texts(published.Last()), (std::vector<std::string>{"one", "three"}));
  const size_t publications = published.Texts().size();
  lines->DeleteLines("unknown");
  EXPECT_EQ(published.Texts().size(), publications + 1) << "the unchanged list is published";
  for (const std::optional<std::string>& all :
       {std::optional<std::string>(""), std::optional<std::string>()}) {
    Upsert("again", true);
    lines->DeleteLines(all);
    EXPECT_TRUE(Listed().empty());
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(published.Last(), "[]");
  }
}

TEST_F(CaptionLinesTest, RestoreReplacesTheListWithTheLatestHistoryUnlessUnreadable) {
  history->SaveLine(CaptionLine("2026-01-01 10:00:01.000000", "stored one", true, "uno"));
  history->SaveLine(CaptionLine("2026-01-01 10:00:02.000000", "stored two", true, "dos"));
  Upsert("live", false);
  lines->RestoreLatestLines();
  ASSERT_TRUE(history->Flush(5s));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"stored one|done", "stored two|done"}));
  EXPECT_EQ(Texts(published.Last()), (std::vector<std::string>{"stored one", "stored two"}));

  testing::WriteFile(history->path(), std::string(4096, 'x'));
  Upsert("live", false);
  const size_t publications = published.Texts().size();
  lines->RestoreLatestLines();
  ASSERT_TRUE(history->Flush(5s));
  EXPECT_EQ(Listed().back(), "live|open");
  EXPECT_EQ(published.Texts().size(), publications);
}

TEST_F(CaptionLinesTest, OnlyLinesMadeSinceStartAreThisSessionsAlsoOnceTheHistoryHasThem) {
  // Written on the bus's thread, read here once the bus is idle.
  const auto session = std::make_shared<std::pair<std::mutex, std::string>>();
  OnEach(bus, [session](const LinesChanged& event) {
    std::lock_guard lock(session->first);
    session->second = event.SessionJson();
  });
  history->SaveLine(CaptionLine("2026-01-01 10:00:01.000000", "earlier", true, "antes"));
  Upsert("now", true);
  lines->RestoreLatestLines();  // as when the main page loads
  ASSERT_TRUE(history->Flush(5s));
  bus.WaitIdle();
  std::lock_guard lock(session->first);
  EXPECT_EQ(Texts(session->second), std::vector<std::string>{"now"});
}

}  // namespace
}  // namespace quensary
