#include "history/sqlite_helper.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fakes/recording_clipboard.h"
#include "fakes/temp_dir.h"

namespace quensary {
namespace {

namespace fs = std::filesystem;
using testing::RecordingClipboard;
using testing::TempDir;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A connection of the test's own, to look at the file behind the helper's back.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~RawDatabase() { sqlite3_close(db_); }
  sqlite3* get() { return db_; }
  void Exec(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
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

std::string Describe(const std::vector<CaptionLinePtr>& lines) {
  std::string text;
  for (const auto& line : lines)
    text += line->Id + "|" + line->Ori + "|" + (line->Finish ? "1" : "0") + "|" + line->Tar + ";";
  return text;
}

class SQLiteHelperTest : public ::testing::Test {
 protected:
  TempDir dir;
  SQLiteHelper history{(fs::path(dir.path()) / "data" / "quensary").string()};
};

TEST_F(SQLiteHelperTest, FirstOperationCreatesFolderFileAndTable) {
  EXPECT_FALSE(fs::exists(fs::path(history.path()).parent_path()));
  const auto lines = history.LatestLines();
  ASSERT_TRUE(lines.has_value());
  EXPECT_TRUE(lines->empty());  // present but empty: callers clear their list
  ASSERT_TRUE(fs::is_regular_file(history.path()));
  RawDatabase raw(history.path());
  EXPECT_EQ(raw.Column("SELECT sql FROM sqlite_master WHERE name = 'LanguageTargetOne'"),
            std::vector<std::string>{"CREATE TABLE LanguageTargetOne (\n    Id TEXT PRIMARY KEY,\n"
                                     "    Ori TEXT,\n    Finish INTEGER,\n    Tar TEXT\n)"});
}

TEST_F(SQLiteHelperTest, DefaultFileLivesInTheUsersDataFolder) {
  SQLiteHelper user_history;
  const fs::path path = user_history.path();
  EXPECT_EQ(path.parent_path(), fs::path(g_get_user_data_dir()) / "quensary");
  EXPECT_FALSE(path.filename().empty());
}

TEST_F(SQLiteHelperTest, SavingTheSameIdAgainKeepsTheLaterValues) {
  history.SaveLine(Line("2026-01-01 10:00:00.000000", "first words", false, ""));
  history.SaveLine(Line("2026-01-01 10:00:00.000000", "first words, complete", true, "fin"));
  EXPECT_EQ(Describe(*history.LatestLines()),
            "2026-01-01 10:00:00.000000|first words, complete|1|fin;");
}

TEST_F(SQLiteHelperTest, FinishReadsTrueOnlyForOne) {
  history.LatestLines();
  RawDatabase raw(history.path());
  raw.Exec(
      "INSERT INTO LanguageTargetOne VALUES ('a', 'two', 2, ''), ('b', 'one', 1, ''),"
      " ('c', 'zero', 0, ''), ('d', 'minus', -1, '')");
  EXPECT_EQ(Describe(*history.LatestLines()), "a|two|0|;b|one|1|;c|zero|0|;d|minus|0|;");
}

TEST_F(SQLiteHelperTest, NullTextsWrittenByOthersReadAsEmpty) {
  history.LatestLines();
  RawDatabase raw(history.path());
  raw.Exec("INSERT INTO LanguageTargetOne VALUES ('n', NULL, NULL, NULL)");
  EXPECT_EQ(Describe(*history.LatestLines()), "n||0|;");
  RecordingClipboard clipboard;
  history.CopyToClipboard(3, clipboard);
  EXPECT_EQ(clipboard.texts, std::vector<std::string>{"n\n\n\n\n"});
}

TEST_F(SQLiteHelperTest, LatestLinesAreTheFifteenGreatestIdsOldestFirst) {
  // Saved out of order, so the result cannot just be the insertion order.
  for (int i : {7, 19, 0, 3, 12, 18, 1, 5, 16, 9, 2, 14, 11, 4, 17, 6, 10, 15, 8, 13}) {
    char id[40];
    std::snprintf(id, sizeof id, "2026-01-01 10:00:%02d.000000", i);
    history.SaveLine(Line(id, "row " + std::to_string(i)));
  }
  const auto lines = history.LatestLines();
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(lines->size(), 15u);
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ((*lines)[i]->Ori, "row " + std::to_string(i + 5));
}

TEST_F(SQLiteHelperTest, TextsAreStoredExactly) {
  const std::string awkward = "it's \"quoted\"; DROP TABLE x; -- \xF0\x9F\x92\x95 \n end";
  history.SaveLine(Line("id'; --", awkward, true, awkward));
  history.SetTranslation("id'; --", "new ' tar");
  EXPECT_EQ(Describe(*history.LatestLines()), "id'; --|" + awkward + "|1|new ' tar;");
}

TEST_F(SQLiteHelperTest, SetTranslationChangesOnlyAStoredRow) {
  history.SaveLine(Line("a", "one", true, "uno"));
  history.SetTranslation("missing", "nada");
  history.SetTranslation("a", "eins");
  EXPECT_EQ(Describe(*history.LatestLines()), "a|one|1|eins;");
}

TEST_F(SQLiteHelperTest, DeleteOneAndDeleteAllLeaveTheTableUsable) {
  history.SaveLine(Line("a", "one"));
  history.SaveLine(Line("b", "two"));
  history.SaveLine(Line("c", "three"));
  history.DeleteLine("b");
  history.DeleteLine("unknown");
  EXPECT_EQ(Describe(*history.LatestLines()), "a|one|1|;c|three|1|;");
  history.DeleteAll();
  EXPECT_EQ(Describe(*history.LatestLines()), "");
  history.SaveLine(Line("d", "four"));
  EXPECT_EQ(Describe(*history.LatestLines()), "d|four|1|;");
}

TEST_F(SQLiteHelperTest, CopyModesChooseTheColumnsAndEveryBlockEndsWithAnEmptyLine) {
  history.SaveLine(Line("2026-01-01 10:00:02.000000", "Second", true, "Segundo"));
  history.SaveLine(Line("2026-01-01 10:00:01.000000", "First", true, "Primero"));
  RecordingClipboard clipboard;
  history.CopyToClipboard(1, clipboard);
  history.CopyToClipboard(2, clipboard);
  history.CopyToClipboard(3, clipboard);
  history.CopyToClipboard(0, clipboard);  // any mode but 1 and 2 copies everything
  ASSERT_EQ(clipboard.texts.size(), 4u);
  EXPECT_EQ(clipboard.texts[0],
            "2026-01-01 10:00:01.000000\nFirst\n\n2026-01-01 10:00:02.000000\nSecond\n\n");
  EXPECT_EQ(clipboard.texts[1],
            "2026-01-01 10:00:01.000000\nPrimero\n\n2026-01-01 10:00:02.000000\nSegundo\n\n");
  EXPECT_EQ(clipboard.texts[2],
            "2026-01-01 10:00:01.000000\nFirst\nPrimero\n\n"
            "2026-01-01 10:00:02.000000\nSecond\nSegundo\n\n");
  EXPECT_EQ(clipboard.texts[3], clipboard.texts[2]);
}

TEST_F(SQLiteHelperTest, CopyOfAnEmptyTableClearsTheClipboard) {
  RecordingClipboard clipboard;
  history.CopyToClipboard(3, clipboard);
  EXPECT_EQ(clipboard.texts, std::vector<std::string>{""});
}

TEST_F(SQLiteHelperTest, AReaderHoldingTheFileDelaysASaveInsteadOfFailingIt) {
  history.SaveLine(Line("a", "one"));
  RawDatabase reader(history.path());
  reader.Exec("BEGIN");
  ASSERT_EQ(reader.Column("SELECT Id FROM LanguageTargetOne"), std::vector<std::string>{"a"});
  // The reader's shared lock blocks writers until its transaction ends.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(reader.get(), "COMMIT", nullptr, nullptr, nullptr);
  });
  history.SaveLine(Line("b", "two"));
  release.join();
  EXPECT_EQ(Describe(*history.LatestLines()), "a|one|1|;b|two|1|;");
}

// Damaged and protected files: every operation runs, none changes or replaces the file.
void RunEveryOperation(SQLiteHelper& history, RecordingClipboard& clipboard) {
  history.SaveLine(Line("z", "new", true, "nuevo"));
  history.SetTranslation("a", "changed");
  history.DeleteLine("a");
  history.CopyToClipboard(3, clipboard);
  history.DeleteAll();
  history.SaveLine(Line("y", "newer"));
}

TEST_F(SQLiteHelperTest, AFileThatIsNotADatabaseIsSurvivedAndLeftIntact) {
  fs::create_directories(fs::path(history.path()).parent_path());
  std::string garbage(8192, '\0');
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<char>((i * 131 + 7) % 251);
  std::ofstream(history.path(), std::ios::binary) << garbage;

  RecordingClipboard clipboard;
  RunEveryOperation(history, clipboard);
  EXPECT_FALSE(history.LatestLines().has_value());
  EXPECT_TRUE(clipboard.texts.empty());  // nothing copied, the clipboard keeps its content
  EXPECT_EQ(ReadFile(history.path()), garbage);
  // No journal or replacement file left beside it.
  const fs::directory_iterator folder(fs::path(history.path()).parent_path());
  EXPECT_EQ(std::distance(fs::begin(folder), fs::end(folder)), 1);
}

TEST_F(SQLiteHelperTest, AReadOnlyFileIsReadButNeverWritten) {
  history.SaveLine(Line("a", "one", true, "uno"));
  history.SaveLine(Line("b", "two", true, "dos"));
  ASSERT_EQ(chmod(history.path().c_str(), 0444), 0);
  const std::string before = ReadFile(history.path());

  // A fresh helper, as at the next start of the program.
  SQLiteHelper reopened((fs::path(dir.path()) / "data" / "quensary").string());
  RecordingClipboard clipboard;
  RunEveryOperation(reopened, clipboard);
  EXPECT_EQ(Describe(*reopened.LatestLines()), "a|one|1|uno;b|two|1|dos;");
  EXPECT_EQ(clipboard.texts, std::vector<std::string>{"a\none\nuno\n\nb\ntwo\ndos\n\n"});
  EXPECT_EQ(ReadFile(history.path()), before);
}

}  // namespace
}  // namespace quensary
