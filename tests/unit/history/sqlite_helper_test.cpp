#include "history/sqlite_helper.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>

#include "fakes/core_fixture.h"

namespace quensary {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Mode = CopyMode;

// Runs SQL on a connection of the test's own, behind the helper's back; the first column of
// the last row it gave.
std::string Sql(sqlite3* db, const std::string& sql) {
  std::string value;
  sqlite3_exec(
      db, sql.c_str(),
      [](void* out, int, char** row, char**) {
        *static_cast<std::string*>(out) = row[0] ? row[0] : "<null>";
        return 0;
      },
      &value, nullptr);
  return value;
}

CaptionLine Line(std::string id, std::string ori, bool finish = true, std::string tar = "") {
  return CaptionLine(std::move(id), std::move(ori), finish, std::move(tar));
}

class SQLiteHelperTest : public ::testing::Test {
 protected:
  ~SQLiteHelperTest() override { sqlite3_close(raw); }
  // The latest lines as "Id|Ori|Finish|Tar;", or "<unreadable>".
  std::string Latest(SQLiteHelper& from) {
    const auto lines = testing::LatestLinesNow(from);
    std::string text = lines ? "" : "<unreadable>";
    for (const auto& l : lines.value_or(std::vector<CaptionLinePtr>{}))
      text += l->Id + "|" + l->Ori + "|" + (l->Finish ? "1" : "0") + "|" + l->Tar + ";";
    return text;
  }
  std::optional<std::string> Export(SQLiteHelper& from, Mode mode) {
    std::promise<std::optional<std::string>> text;
    from.ExportText(mode, [&](auto result) { text.set_value(std::move(result)); });
    return text.get_future().get();
  }
  sqlite3* Raw() {
    if (!raw)
      sqlite3_open(history.path().c_str(), &raw);
    return raw;
  }

  testing::TempDir dir;
  const fs::path folder = fs::path(dir.path()) / "data" / "quensary";
  SQLiteHelper history{folder.string()};
  sqlite3* raw = nullptr;
};

TEST_F(SQLiteHelperTest, RowsAreSavedReplacedTranslatedAndDeletedByIdInAFileOnlyItsOwnerReads) {
  const std::string awkward = "it's \"quoted\"; DROP TABLE x; -- \xF0\x9F\x92\x95 \n end";
  history.SaveLine(Line("b", "first words", false));
  history.SaveLine(Line("b", "first words, complete", true, "fin"));
  history.SaveLine(Line("id'; --", awkward));
  history.SaveLine(Line("a", "one"));
  history.SetTranslation("id'; --", awkward);
  history.SetTranslation("missing", "nada");  // creates no row
  EXPECT_EQ(Latest(history),
            "a|one|1|;b|first words, complete|1|fin;id'; --|" + awkward + "|1|" + awkward + ";");
  struct stat info {};
  ASSERT_EQ(stat(history.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  history.DeleteLine("b");
  history.DeleteLine("unknown");
  EXPECT_EQ(Latest(history), "a|one|1|;id'; --|" + awkward + "|1|" + awkward + ";");
  history.DeleteAll();
  history.SaveLine(Line("d", "four"));
  EXPECT_EQ(Latest(history), "d|four|1|;");
  // Rows written by others: Finish is true only for 1, NULL texts read as empty.
  Sql(Raw(), "INSERT INTO LanguageTargetOne VALUES ('e', 'two', 2, ''), ('f', NULL, NULL, NULL)");
  EXPECT_EQ(Latest(history), "d|four|1|;e|two|0|;f||0|;");
}

TEST_F(SQLiteHelperTest, ExportModesChooseTheColumnsAndOnlyThreeNumbersAreModes) {
  EXPECT_EQ(Export(history, Mode::kBoth), "");
  history.SaveLine(Line("2", "Second", true, "Segundo"));
  history.SaveLine(Line("1", "First", true, "Primero"));
  EXPECT_EQ(Export(history, Mode::kOriginal), "1\nFirst\n\n2\nSecond\n\n");
  EXPECT_EQ(Export(history, Mode::kTranslation), "1\nPrimero\n\n2\nSegundo\n\n");
  EXPECT_EQ(Export(history, Mode::kBoth), "1\nFirst\nPrimero\n\n2\nSecond\nSegundo\n\n");
}

TEST_F(SQLiteHelperTest, AFileOrFolderRemovedWhileRunningIsMadeAgainAtTheNextSave) {
  history.SaveLine(Line("a", "one"));
  ASSERT_EQ(Latest(history), "a|one|1|;");
  fs::remove(history.path());
  history.SaveLine(Line("b", "two"));
  EXPECT_EQ(Latest(history), "b|two|1|;");
  fs::remove_all(folder);
  history.SaveLine(Line("c", "three"));
  EXPECT_EQ(Latest(history), "c|three|1|;");
}

TEST_F(SQLiteHelperTest, AFileHeldLockedDelaysRowsWithoutLosingOrReorderingThem) {
  SQLiteHelper impatient(folder.string(), {50ms, 50ms});
  impatient.SaveLine(Line("a", "one"));
  ASSERT_TRUE(impatient.Flush(5s));
  ASSERT_EQ(sqlite3_exec(Raw(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  impatient.SaveLine(Line("b", "two"));
  impatient.SetTranslation("b", "dos");
  // Several busy time-outs pass; the rows wait their turn.
  EXPECT_FALSE(impatient.Flush(400ms)) << "still waiting for the file";
  Sql(Raw(), "COMMIT");
  EXPECT_EQ(Latest(impatient), "a|one|1|;b|two|1|dos;");
}

TEST_F(SQLiteHelperTest, ADamagedOrReadOnlyFileIsNeverChanged) {
  const auto every_change = [](SQLiteHelper& helper) {
    helper.SaveLine(Line("z", "new", true, "nuevo"));
    helper.SetTranslation("a", "changed");
    helper.DeleteLine("a");
    helper.DeleteAll();
  };
  history.SaveLine(Line("a", "one", true, "uno"));
  ASSERT_TRUE(history.Flush(5s));
  ASSERT_EQ(chmod(history.path().c_str(), 0444), 0);
  const std::string before = testing::ReadFile(history.path());
  SQLiteHelper read_only(folder.string());
  every_change(read_only);
  EXPECT_EQ(Latest(read_only), "a|one|1|uno;");
  EXPECT_EQ(Export(read_only, Mode::kBoth), "a\none\nuno\n\n");
  EXPECT_EQ(testing::ReadFile(history.path()), before);

  ASSERT_EQ(chmod(history.path().c_str(), 0600), 0);
  std::string garbage(8192, '\0');
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<char>((i * 131 + 7) % 251);
  testing::WriteFile(history.path(), garbage);
  SQLiteHelper damaged(folder.string());
  every_change(damaged);
  EXPECT_EQ(Latest(damaged), "<unreadable>");
  EXPECT_EQ(Export(damaged, Mode::kBoth), std::nullopt);
  EXPECT_EQ(testing::ReadFile(history.path()), garbage);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "no journal or replacement left beside it";
}

}  // namespace
}  // namespace quensary
