#include "history/sqlite_helper.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "fakes/core_fixture.h"

namespace quensary {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Mode = SQLiteHelper::CopyMode;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A connection of the test's own, to look at the file behind the helper's back.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~RawDatabase() { sqlite3_close(db_); }
  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  // The first column of every row, as text.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(statement, 0);
        values.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
      }
    }
    sqlite3_finalize(statement);
    return values;
  }

 private:
  sqlite3* db_ = nullptr;
};

CaptionLine Line(std::string id, std::string ori, bool finish = true, std::string tar = "") {
  return CaptionLine(std::move(id), std::move(ori), finish, std::move(tar));
}

class SQLiteHelperTest : public ::testing::Test {
 protected:
  // The latest lines as "Id|Ori|Finish|Tar;", or "<unreadable>".
  std::string Latest(SQLiteHelper& from) {
    const auto lines = testing::LatestLinesNow(from);
    if (!lines)
      return "<unreadable>";
    std::string text;
    for (const auto& l : *lines)
      text += l->Id + "|" + l->Ori + "|" + (l->Finish ? "1" : "0") + "|" + l->Tar + ";";
    return text;
  }
  std::string Latest() { return Latest(history); }
  std::optional<std::string> Export(SQLiteHelper& from, Mode mode) {
    std::promise<std::optional<std::string>> text;
    from.ExportText(mode, [&](auto result) { text.set_value(std::move(result)); });
    return text.get_future().get();
  }

  testing::TempDir dir;
  const fs::path folder = fs::path(dir.path()) / "data" / "quensary";
  SQLiteHelper history{folder.string()};
};

TEST_F(SQLiteHelperTest, TheFirstOperationMakesFolderFileAndTableForTheOwnerOnly) {
  EXPECT_EQ(Latest(), "");  // present but empty: callers clear their list
  struct stat info {};
  ASSERT_EQ(stat(history.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  RawDatabase raw(history.path());
  EXPECT_EQ(raw.Column("SELECT sql FROM sqlite_master WHERE name = 'LanguageTargetOne'"),
            std::vector<std::string>{"CREATE TABLE LanguageTargetOne (\n    Id TEXT PRIMARY KEY,\n"
                                     "    Ori TEXT,\n    Finish INTEGER,\n    Tar TEXT\n)"});
}

TEST_F(SQLiteHelperTest, RowsAreSavedReplacedTranslatedAndDeletedById) {
  const std::string awkward = "it's \"quoted\"; DROP TABLE x; -- \xF0\x9F\x92\x95 \n end";
  history.SaveLine(Line("b", "first words", false));
  history.SaveLine(Line("b", "first words, complete", true, "fin"));
  history.SaveLine(Line("id'; --", awkward));
  history.SaveLine(Line("a", "one"));
  history.SetTranslation("id'; --", awkward);
  history.SetTranslation("missing", "nada");  // creates no row
  EXPECT_EQ(Latest(), "a|one|1|;b|first words, complete|1|fin;id'; --|" + awkward + "|1|" +
                          awkward + ";");
  history.DeleteLine("b");
  history.DeleteLine("unknown");
  EXPECT_EQ(Latest(), "a|one|1|;id'; --|" + awkward + "|1|" + awkward + ";");
  history.DeleteAll();
  history.SaveLine(Line("d", "four"));
  EXPECT_EQ(Latest(), "d|four|1|;");
}

TEST_F(SQLiteHelperTest, LatestLinesAreTheFifteenGreatestIdsOldestFirst) {
  for (int i : {7, 19, 0, 3, 12, 18, 1, 5, 16, 9, 2, 14, 11, 4, 17, 6, 10, 15, 8, 13}) {
    char id[8];
    std::snprintf(id, sizeof id, "%02d", i);
    history.SaveLine(Line(id, "row " + std::to_string(i)));
  }
  const auto lines = testing::LatestLinesNow(history);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 15u);
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ((*lines)[i]->Ori, "row " + std::to_string(i + 5));
}

TEST_F(SQLiteHelperTest, RowsWrittenByOthersReadSafely) {
  Latest();
  RawDatabase raw(history.path());
  ASSERT_EQ(raw.Exec("INSERT INTO LanguageTargetOne VALUES ('a', 'two', 2, ''), ('b', 'one', 1,"
                     " ''), ('c', NULL, NULL, NULL)"),
            SQLITE_OK);
  EXPECT_EQ(Latest(), "a|two|0|;b|one|1|;c||0|;") << "Finish is true only for 1, NULL is empty";
}

TEST_F(SQLiteHelperTest, ExportModesChooseTheColumnsAndOnlyThreeNumbersAreModes) {
  EXPECT_EQ(Export(history, Mode::kBoth), "");
  history.SaveLine(Line("2", "Second", true, "Segundo"));
  history.SaveLine(Line("1", "First", true, "Primero"));
  EXPECT_EQ(Export(history, Mode::kOriginal), "1\nFirst\n\n2\nSecond\n\n");
  EXPECT_EQ(Export(history, Mode::kTranslation), "1\nPrimero\n\n2\nSegundo\n\n");
  EXPECT_EQ(Export(history, Mode::kBoth), "1\nFirst\nPrimero\n\n2\nSecond\nSegundo\n\n");
  for (int64_t number : {1, 2, 3})
    EXPECT_EQ(SQLiteHelper::CopyModeFromNumber(number), static_cast<Mode>(number));
  for (int64_t number : {int64_t{0}, int64_t{4}, int64_t{-1}, INT64_MAX})
    EXPECT_EQ(SQLiteHelper::CopyModeFromNumber(number), std::nullopt) << number;
}

TEST_F(SQLiteHelperTest, AFileOrFolderRemovedWhileRunningIsMadeAgainAtTheNextSave) {
  history.SaveLine(Line("a", "one"));
  ASSERT_EQ(Latest(), "a|one|1|;");
  fs::remove(history.path());
  history.SaveLine(Line("b", "two"));
  EXPECT_EQ(Latest(), "b|two|1|;");
  fs::remove_all(folder);
  history.SaveLine(Line("c", "three"));
  EXPECT_EQ(Latest(), "c|three|1|;");
}

TEST_F(SQLiteHelperTest, AFileHeldLockedDelaysRowsWithoutLosingOrReorderingThem) {
  SQLiteHelper impatient(folder.string(), {50ms, 50ms});
  impatient.SaveLine(Line("a", "one"));
  ASSERT_TRUE(impatient.Flush(5s));
  RawDatabase holder(history.path());
  ASSERT_EQ(holder.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  impatient.SaveLine(Line("b", "two"));
  impatient.SetTranslation("b", "dos");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << "callers never wait";
  // Several busy time-outs pass; the rows wait their turn.
  EXPECT_FALSE(impatient.Flush(400ms)) << "still waiting for the file";
  ASSERT_EQ(holder.Exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(Latest(impatient), "a|one|1|;b|two|1|dos;");
}

TEST_F(SQLiteHelperTest, ADamagedOrReadOnlyFileIsNeverChanged) {
  const auto run_every_operation = [](SQLiteHelper& helper) {
    helper.SaveLine(Line("z", "new", true, "nuevo"));
    helper.SetTranslation("a", "changed");
    helper.DeleteLine("a");
    helper.DeleteAll();
  };
  history.SaveLine(Line("a", "one", true, "uno"));
  ASSERT_TRUE(history.Flush(5s));
  ASSERT_EQ(chmod(history.path().c_str(), 0444), 0);
  const std::string before = ReadFile(history.path());
  SQLiteHelper read_only(folder.string());
  run_every_operation(read_only);
  EXPECT_EQ(Latest(read_only), "a|one|1|uno;");
  EXPECT_EQ(Export(read_only, Mode::kBoth), "a\none\nuno\n\n");
  EXPECT_EQ(ReadFile(history.path()), before);

  ASSERT_EQ(chmod(history.path().c_str(), 0600), 0);
  std::string garbage(8192, '\0');
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<char>((i * 131 + 7) % 251);
  std::ofstream(history.path(), std::ios::binary | std::ios::trunc) << garbage;
  SQLiteHelper damaged(folder.string());
  run_every_operation(damaged);
  EXPECT_EQ(Latest(damaged), "<unreadable>");
  EXPECT_EQ(Export(damaged, Mode::kBoth), std::nullopt);
  EXPECT_EQ(ReadFile(history.path()), garbage);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "no journal or replacement left beside it";
}

}  // namespace
}  // namespace quensary
