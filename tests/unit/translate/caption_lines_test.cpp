#include "pipeline/caption_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "fakes/published_lines.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"

namespace quensary {
namespace {

using testing::PublishedLines;
using testing::TempDir;
using testing::TestClock;

class CaptionLinesTest : public ::testing::Test {
 protected:
  // The texts of the listed lines, oldest first.
  std::vector<std::string> ListedTexts() {
    auto held = lines.LineLock();
    std::vector<std::string> texts;
    for (const auto& line : lines.LineList(held))
      texts.push_back(line->Ori + (line->Finish ? " |done" : " |open"));
    return texts;
  }
  std::vector<std::string> StoredTexts() {
    std::vector<std::string> texts;
    const auto stored = history->LatestLines();
    if (!stored)
      return {"<unreadable>"};
    for (const auto& line : *stored)
      texts.push_back(line->Ori);
    return texts;
  }
  // Puts lines straight into the list and the history, as a restore would.
  void Seed(const std::vector<std::pair<std::string, std::string>>& id_and_text) {
    auto held = lines.LineLock();
    for (const auto& [id, text] : id_and_text) {
      auto line = std::make_shared<CaptionLine>(id, text, true, "");
      lines.LineList(held).push_back(line);
      history->SaveLine(*line);
    }
  }
  static std::vector<std::string> Texts(const std::string& json) {
    std::vector<std::string> texts;
    for (const auto& line : nlohmann::json::parse(json))
      texts.push_back(line["Ori"]);
    return texts;
  }

  TempDir dir;
  LnsCenter bus;
  std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  CaptionLines lines{bus, history, clock};
  PublishedLines published{bus};
};

TEST_F(CaptionLinesTest, AnEmptyListPublishesAnEmptyArray) {
  {
    auto held = lines.LineLock();
    lines.PublishLines(held);
  }
  EXPECT_EQ(published.Texts(), std::vector<std::string>{"[]"});
}

TEST_F(CaptionLinesTest, DeletingOneIdRemovesItFromListAndHistory) {
  Seed({{"1", "one"}, {"2", "two"}, {"3", "three"}});
  lines.DeleteLines("2");
  EXPECT_EQ(ListedTexts(), (std::vector<std::string>{"one |done", "three |done"}));
  EXPECT_EQ(StoredTexts(), (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(Texts(published.Last()), (std::vector<std::string>{"one", "three"}));
}

TEST_F(CaptionLinesTest, DeletingTheEmptyIdOrNoIdClearsListAndHistory) {
  for (const std::optional<std::string>& id :
       {std::optional<std::string>(""), std::optional<std::string>()}) {
    Seed({{"1", "one"}, {"2", "two"}});
    lines.DeleteLines(id);
    EXPECT_TRUE(ListedTexts().empty());
    EXPECT_TRUE(StoredTexts().empty());
    EXPECT_EQ(published.Last(), "[]");
  }
}

TEST_F(CaptionLinesTest, DeletingASharedIdRemovesEveryLineWithIt) {
  Seed({{"1", "one"}, {"dup", "two"}, {"3", "three"}});
  {
    auto held = lines.LineLock();
    lines.LineList(held).push_back(std::make_shared<CaptionLine>("dup", "four", false, ""));
  }
  lines.DeleteLines("dup");
  EXPECT_EQ(ListedTexts(), (std::vector<std::string>{"one |done", "three |done"}));
  EXPECT_EQ(StoredTexts(), (std::vector<std::string>{"one", "three"}));
}

TEST_F(CaptionLinesTest, DeletingAnUnknownIdStillPublishesTheUnchangedList) {
  Seed({{"1", "one"}});
  lines.DeleteLines("nope");
  EXPECT_EQ(ListedTexts(), std::vector<std::string>{"one |done"});
  EXPECT_EQ(StoredTexts(), std::vector<std::string>{"one"});
  EXPECT_EQ(published.Texts().size(), 1u);
  EXPECT_EQ(Texts(published.Last()), std::vector<std::string>{"one"});
}

TEST_F(CaptionLinesTest, ATranslationUpdatesTheListedLineInPlace) {
  std::string id;
  {
    auto held = lines.LineLock();
    id = lines.UpsertLine(held, "Good morning", true);
    lines.UpsertLine(held, "everyone", false);
  }
  {
    auto held = lines.LineLock();
    const CaptionLinePtr line = lines.FindLine(held, id);
    ASSERT_TRUE(line);
    line->Tar = "Buenos días";
    lines.PublishLines(held);
    EXPECT_FALSE(lines.FindLine(held, "not there"));
  }
  const auto last = nlohmann::json::parse(published.Last());
  ASSERT_EQ(last.size(), 2u);
  EXPECT_EQ(last[0]["Id"], id);
  EXPECT_EQ(last[0]["Tar"], "Buenos días");
  EXPECT_EQ(last[1]["Ori"], "everyone");
}

TEST_F(CaptionLinesTest, RestoreReplacesTheListWithTheLatestHistoryLines) {
  history->SaveLine(CaptionLine("2026-01-01 10:00:01.000000", "stored one", true, "uno"));
  history->SaveLine(CaptionLine("2026-01-01 10:00:02.000000", "stored two", true, "dos"));
  {
    auto held = lines.LineLock();
    lines.UpsertLine(held, "live", false);
  }
  lines.RestoreLatestLines();
  EXPECT_EQ(ListedTexts(), (std::vector<std::string>{"stored one |done", "stored two |done"}));
  EXPECT_EQ(Texts(published.Last()), (std::vector<std::string>{"stored one", "stored two"}));
}

TEST_F(CaptionLinesTest, RestoreFromAnUnreadableHistoryKeepsTheList) {
  std::filesystem::create_directories(dir.path());
  std::ofstream(history->path(), std::ios::binary) << std::string(4096, 'x');
  {
    auto held = lines.LineLock();
    lines.UpsertLine(held, "live", false);
  }
  const size_t publications = published.Texts().size();
  lines.RestoreLatestLines();
  EXPECT_EQ(ListedTexts(), std::vector<std::string>{"live |open"});
  EXPECT_EQ(published.Texts().size(), publications);
}

// UpsertLine: how caption events become lines.

TEST_F(CaptionLinesTest, AnOpenLineGrowsInPlaceAndEveryCallPublishes) {
  std::vector<std::string> ids;
  {
    auto held = lines.LineLock();
    ids.push_back(lines.UpsertLine(held, "The", false));
    clock->Advance(std::chrono::milliseconds(500));
    ids.push_back(lines.UpsertLine(held, "The quick", false));
    clock->Advance(std::chrono::milliseconds(500));
    ids.push_back(lines.UpsertLine(held, "The quick", false));  // nothing new: still published
    ids.push_back(lines.UpsertLine(held, "The quick fox.", true));
  }
  EXPECT_EQ(ids, std::vector<std::string>(4, ids[0]));
  EXPECT_EQ(ListedTexts(), std::vector<std::string>{"The quick fox. |done"});
  EXPECT_EQ(published.Texts().size(), 4u);
  EXPECT_EQ(StoredTexts(), std::vector<std::string>{"The quick fox."});
}

TEST_F(CaptionLinesTest, AfterAFinishedLineTheNextEventStartsANewLine) {
  std::string first, second, third;
  {
    auto held = lines.LineLock();
    first = lines.UpsertLine(held, "Done.", true);
    second = lines.UpsertLine(held, "Also done.", true);  // born finished
    third = lines.UpsertLine(held, "Open", false);
  }
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_EQ(ListedTexts(),
            (std::vector<std::string>{"Done. |done", "Also done. |done", "Open |open"}));
  // Only finished lines reach the history, each once.
  EXPECT_EQ(StoredTexts(), (std::vector<std::string>{"Done.", "Also done."}));
}

TEST_F(CaptionLinesTest, LinesCreatedAtTheSameMomentStillGetDistinctIncreasingIds) {
  std::vector<std::string> ids;
  {
    auto held = lines.LineLock();
    for (int i = 0; i < 5; ++i)
      ids.push_back(lines.UpsertLine(held, "line " + std::to_string(i), true));
  }
  for (size_t i = 1; i < ids.size(); ++i)
    EXPECT_LT(ids[i - 1], ids[i]);
  // None of them is lost in the history, which keeps one row per Id.
  EXPECT_EQ(StoredTexts().size(), 5u);
}

TEST_F(CaptionLinesTest, TheSeventyFirstLineDropsTheThirtyOldest) {
  {
    auto held = lines.LineLock();
    for (int i = 0; i < 70; ++i) {
      lines.UpsertLine(held, "line " + std::to_string(i), true);
      clock->Advance(std::chrono::seconds(1));
    }
    EXPECT_EQ(lines.LineList(held).size(), 70u);
    lines.UpsertLine(held, "line 70", false);
    const auto& list = lines.LineList(held);
    ASSERT_EQ(list.size(), 41u);
    EXPECT_EQ(list.front()->Ori, "line 30");
    EXPECT_EQ(list.back()->Ori, "line 70");
  }
  EXPECT_EQ(Texts(published.Last()).size(), 41u);
  // Trimming changes only the list; the history keeps its rows.
  EXPECT_EQ(StoredTexts().back(), "line 69");
}

TEST_F(CaptionLinesTest, TrimmingOnAFinishedAppendStoresTheNewLine) {
  {
    auto held = lines.LineLock();
    for (int i = 0; i < 71; ++i)
      lines.UpsertLine(held, "line " + std::to_string(i), true);
    EXPECT_EQ(lines.LineList(held).back()->Ori, "line 70");
  }
  EXPECT_EQ(StoredTexts().back(), "line 70");
}

}  // namespace
}  // namespace quensary
