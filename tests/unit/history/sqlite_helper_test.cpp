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
  static std::string Name(const std::string& id) { return id; }
  static std::string Name(const CaptionLinePtr& line) { return line->Id; }
  static std::string Name(const SQLiteHelper::Session& s) {
    return s.first_id + "-" + s.last_id + ":" + std::to_string(s.line_count);
  }
  // A read's answer as one text: the names of its items joined by spaces, or "<unreadable>".
  template <typename Read>
  static std::string Ids(Read read) {
    std::promise<std::string> text;
    read([&](auto result) {
      std::string ids = result ? "" : "<unreadable>";
      for (const auto& item : result.value_or(typename decltype(result)::value_type{}))
        ids += Name(item) + " ";
      text.set_value(ids);
    });
    return text.get_future().get();
  }
  std::string Search(const std::string& text, int limit = 10) {
    return Ids([&](auto done) {
      history.SearchLines(text, SQLiteHelper::SearchOrder::kNewestFirst, limit, done);
    });
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

TEST_F(SQLiteHelperTest, SearchFollowsEveryChangeOfTheRowsWhoeverMakesIt) {
  history.SaveLine(Line("a", "The weather today", true, "El tiempo hoy"));
  history.SaveLine(Line("b", "Weather again", true, ""));
  history.SaveLine(Line("c", "nothing", true, ""));
  EXPECT_EQ(Search("weather"), "b a ");
  history.SaveLine(Line("b", "Rain again", true, ""));  // replaced under the same Id
  history.SetTranslation("c", "tiempo");
  EXPECT_EQ(Search("weather"), "a ");
  EXPECT_EQ(Search("tiempo"), "c a ");
  history.DeleteLine("a");
  ASSERT_TRUE(history.Flush(5s));  // before writing behind its back
  Sql(Raw(), "UPDATE LanguageTargetOne SET Ori = 'weather by hand' WHERE Id = 'c'");
  Sql(Raw(), "INSERT INTO LanguageTargetOne VALUES ('d', 'weathered', 1, NULL)");
  EXPECT_EQ(Search("weather"), "d c ");
  history.DeleteBetween("b", "c");
  EXPECT_EQ(Search("weather"), "d ");
  EXPECT_EQ(Sql(Raw(), "SELECT count(*) FROM LanguageTargetSearch"), "1") << "nothing left over";
  history.DeleteAll();
  EXPECT_EQ(Search("weather"), "");
  EXPECT_EQ(Sql(Raw(), "SELECT count(*) FROM RunStarts"), "0") << "no trace of past runs";
}

TEST_F(SQLiteHelperTest, ManyMatchesComeInIdOrderWhateverOrderTheRowsWereWrittenIn) {
  history.SaveLine(Line("0", "no match"));
  ASSERT_TRUE(history.Flush(5s));
  // More rows than are sorted in memory, written with the greatest Ids first.
  Sql(Raw(),
      "WITH RECURSIVE n(i) AS (SELECT 5000 UNION ALL SELECT i - 1 FROM n WHERE i > 1) "
      "INSERT INTO LanguageTargetOne SELECT printf('%05d', i), 'many', 1, '' FROM n");
  EXPECT_EQ(Search("many", 2), "05000 04999 ");
  EXPECT_EQ(Ids([&](auto done) {
              history.SearchLines("MANY", SQLiteHelper::SearchOrder::kOldestFirst, 2, done);
            }),
            "00001 00002 ");
}

TEST_F(SQLiteHelperTest, AFileFromBeforeTheIndexIsSearchableOnceOpenedAndKeepsItsRows) {
  fs::create_directories(folder);
  Sql(Raw(),
      "CREATE TABLE LanguageTargetOne (Id TEXT PRIMARY KEY, Ori TEXT, Finish INTEGER, Tar TEXT);"
      "INSERT INTO LanguageTargetOne VALUES ('1', 'old words', 1, 'palabras'), ('2', 'more', 0, "
      "'')");
  EXPECT_EQ(Search("words"), "1 ");
  EXPECT_EQ(Latest(history), "1|old words|1|palabras;2|more|0|;");
}

TEST_F(SQLiteHelperTest, SearchTakesTheTypedTextLiterallyInAnyCase) {
  const char* const rows[] = {
      "she said \"hi there\"",   "a*b and c", "NEAR(x y)", "well-known fact", "50% off_price",
      "Grüße \xF0\x9F\x98\x80!", "hi, there", "AND OR NOT"};
  for (size_t i = 0; i < std::size(rows); ++i)
    history.SaveLine(Line(std::to_string(i + 1), rows[i]));
  const std::pair<std::string, std::string> cases[] = {{"\"hi there\"", "1 "},
                                                       {"a*b", "2 "},
                                                       {"near(x", "3 "},
                                                       {"-known", "4 "},
                                                       {"%", "5 "},
                                                       {"_", "5 "},
                                                       {"\\", ""},
                                                       {"GRÜßE", "6 "},
                                                       {"e \xF0\x9F\x98\x80", "6 "},
                                                       {"  and  ", "8 2 "},
                                                       {" \t ", ""},
                                                       {"hi", "7 1 "}};
  for (const auto& [query, ids] : cases)
    EXPECT_EQ(Search(query), ids) << query;
  EXPECT_EQ(Search("hi", 1), "7 ");
}

TEST_F(SQLiteHelperTest, PagesAreReadByIdOldestFirstUpToTheirEnds) {
  for (const char* id : {"a", "b", "c", "d", "e"})
    history.SaveLine(Line(id, id));
  using Side = SQLiteHelper::PageSide;
  const struct {
    std::string anchor;
    Side side;
    int count;
    std::string ids;
  } cases[] = {{"", Side::kBefore, 2, "d e "},  {"", Side::kAfter, 2, "a b "},
               {"c", Side::kBefore, 9, "a b "}, {"c", Side::kAfter, 1, "d "},
               {"a", Side::kBefore, 3, ""},     {"e", Side::kAfter, 3, ""},
               {"bz", Side::kAfter, 2, "c d "}, {"bz", Side::kBefore, 2, "a b "},
               {"", Side::kAfter, 0, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(Ids([&](auto done) { history.LinesPage(c.anchor, c.side, c.count, done); }), c.ids)
        << c.anchor << " " << c.count;
  }
  EXPECT_EQ(Ids([&](auto done) { history.LinesBetween("b", "d", done); }), "b c d ");
  EXPECT_EQ(Ids([&](auto done) { history.LinesBetween("", "b", done); }), "a b ");
  EXPECT_EQ(Ids([&](auto done) { history.LinesBetween("d", "", done); }), "d e ");
}

TEST_F(SQLiteHelperTest, EachRunOfTheProgramBeginsASessionEvenWithoutAPause) {
  history.SaveLine(Line("1", "first run"));  // Ids without a time: no pause between them
  history.SaveLine(Line("2", "first run"));
  ASSERT_TRUE(history.Flush(5s));
  {
    SQLiteHelper second_run(folder.string());
    second_run.SaveLine(Line("3", "second run"));
    second_run.SaveLine(Line("4", "second run"));
  }
  history.DeleteLine("3");
  EXPECT_EQ(Ids([&](auto done) { history.Sessions(done); }), "1-2:2 4-4:1 ");
}

}  // namespace
}  // namespace quensary
