// The transcript in the real main page over a history of 100,000 lines written before the
// program opens it: opened at the newest line, paged back and to the start, searched, a result
// far away jumped to, the page's rows bounded all along; a session and a time range saved through
// the desktop's save dialog, driven with xdotool, and read back; the two layouts of a line. The
// times each step took are printed as figures, never asserted.

// GoogleTest goes first: X11's headers define macros (None, Bool) that break it.
#include <gtest/gtest.h>

#include <glib/gstdio.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/program.h"
#include "history/history_schema.h"
#include "history/sqlite_ptr.h"
#include "platform/glib/glib_ptr.h"
#include "protocol/page_calls.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/program_under_test.h"
#include "support/sealed_literals.h"
#include "support/web_page_wait.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;
using testing::TheProgram;

constexpr int kLines = 100000;
constexpr int kSessionLines = 10000;
// Every this many lines, one holds the word searched for, but in the session a test deletes.
constexpr int kFoundEvery = 997;
constexpr int kDeletedSession = 5;
constexpr size_t kMostRows = 300;

// The Id of generated line `n`: five seconds apart, an hour's pause between sessions.
std::string IdOf(int n) {
  const long seconds = n * 5L + (n / kSessionLines) * 3600L;
  char id[40];
  std::snprintf(id, sizeof id, "2026-01-%02ld %02ld:%02ld:%02ld.%06d", 5 + seconds / 86400,
                seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, n % 1000000);
  return id;
}

bool Marked(int n) {
  return n % kFoundEvery == 0 && n / kSessionLines != kDeletedSession;
}

std::string OriginalOf(int n) {
  return "line " + std::to_string(n) + (Marked(n) ? " the zebra crossed" : " spoken");
}

// The history file, as the program will find it, with every generated line in one transaction.
void WriteHistory() {
  const GCharPtr folder(g_build_filename(g_get_user_data_dir(), "quensary", nullptr));
  g_mkdir_with_parents(folder.get(), 0700);
  const GCharPtr path(
      g_build_filename(folder.get(), RevealText(Sealed::HistoryFileName).c_str(), nullptr));
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.get(), &raw), SQLITE_OK);
  const Database db(raw);
  ASSERT_EQ(EnsureHistorySchema(db.get()), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* raw_statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(),
                               "INSERT INTO LanguageTargetOne (Id, Ori, Finish, Tar) "
                               "VALUES (?1, ?2, 1, ?3)",
                               -1, &raw_statement, nullptr),
            SQLITE_OK);
  const Statement insert(raw_statement);
  for (int n = 0; n < kLines; ++n) {
    const std::string id = IdOf(n), ori = OriginalOf(n), tar = "línea " + std::to_string(n);
    sqlite3_bind_text(insert.get(), 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.get(), 2, ori.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.get(), 3, tar.c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
    sqlite3_reset(insert.get());
  }
  ASSERT_EQ(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
}

class TranscriptViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WriteHistory();
    TheProgram();
    ASSERT_TRUE(RunLoopUntil(
        [] { return Js("document.getElementById('version').textContent").find("Quensary") == 0; },
        std::chrono::seconds(30)));
  }
  static std::string Js(const std::string& script) {
    return testing::AwaitScript(*TheProgram().MainCtrl->MainPage(), "String(" + script + ")")
        .value_or("<none>");
  }
  static std::string Text(const std::string& id) {
    return Js("document.getElementById('" + id + "').textContent");
  }
  static std::string FirstRow() { return Js("document.querySelector('.t-line')?.dataset.id"); }
  static std::string LastRow() {
    return Js("[...document.querySelectorAll('.t-line')].pop()?.dataset.id");
  }
  static size_t Rows() { return std::stoul(Js("document.querySelectorAll('.t-line').length")); }
  // The transcript shown, then a key pressed in it (Home: the oldest line, End: the newest).
  static void ShowAndPress(const std::string& key) {
    Js("document.getElementById('tab-transcript').click() || 1");
    Js("document.getElementById('transcript').dispatchEvent(new KeyboardEvent('keydown', {key: '" +
       key + "'})) || 1");
  }
  static void Find(const std::string& text) {
    Js("(s => { s.value = '" + text +
       "'; s.dispatchEvent(new KeyboardEvent('keydown', "
       "{key: 'Enter'})); })(document.getElementById('transcript-search')) || 1");
  }
  // Types `name` into the save dialog the page opened and accepts it; the file's contents once the
  // page says it saved it (then the file is gone). The dialog offers the suggested name with all
  // but its extension selected: what is typed takes the place of that part.
  static std::string SaveThroughDialog(const std::string& name, const std::string& extension) {
    const GCharPtr typed(g_build_filename(g_get_tmp_dir(), name.c_str(), nullptr));
    const std::string path = std::string(typed.get()) + extension;
    const std::vector<std::string> dialog = {"search", "--onlyvisible", "--name",
                                             "Save the transcript"};
    EXPECT_TRUE(RunLoopUntil([&] { return testing::Xdotool(dialog); }, std::chrono::seconds(20)));
    auto typing = dialog;
    typing.insert(typing.end(), {"windowactivate", "--sync", "type", "--delay", "5", typed.get()});
    gdk_display_sync(gdk_display_get_default());
    EXPECT_TRUE(testing::Xdotool(typing));
    gdk_display_sync(gdk_display_get_default());
    EXPECT_TRUE(testing::Xdotool({"key", "Return"}));
    EXPECT_TRUE(RunLoopUntil([&] { return Text("transcript-status") == "Saved to " + path; },
                             std::chrono::seconds(20)));
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    g_remove(path.c_str());
    return text.str();
  }
  // Milliseconds until the condition holds (a failure when it never does).
  static long long Timed(const std::function<void()>& act, const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    act();
    EXPECT_TRUE(RunLoopUntil(done, std::chrono::seconds(30)));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  }
};

TEST_F(TranscriptViewTest, OpensPagesBackToTheStartAndSearchesWithTheRowsBounded) {
  const long long open_ms =
      Timed([] { ShowAndPress("End"); }, [] { return LastRow() == IdOf(kLines - 1); });
  EXPECT_EQ(Js("document.getElementById('recent-view').hidden"), "true");
  EXPECT_EQ(Js("document.querySelector('.t-line:last-child .ori').textContent"),
            OriginalOf(kLines - 1));
  EXPECT_EQ(Js("document.querySelector('.t-line:last-child .t-time').textContent"),
            IdOf(kLines - 1).substr(11, 8));

  // Scrolled up, page after page comes in while rows far below go.
  for (int page = 0; page < 6; ++page) {
    const std::string first = FirstRow();
    Js("document.getElementById('transcript').scrollTop = 0");
    ASSERT_TRUE(RunLoopUntil([&] { return FirstRow() < first; }));
    EXPECT_LE(Rows(), kMostRows);
  }
  EXPECT_LT(LastRow(), IdOf(kLines - 1)) << "the newest rows were dropped";

  const long long start_ms =
      Timed([] { ShowAndPress("Home"); }, [] { return FirstRow() == IdOf(0); });
  EXPECT_EQ(Js("document.querySelector('.t-session h3').textContent"),
            "2026-01-05 00:00 · " + std::to_string(kSessionLines) + " lines");

  std::vector<int> marked;
  for (int n = 0; n < kLines; ++n) {
    if (Marked(n))
      marked.push_back(n);
  }
  const long long search_ms =
      Timed([] { Find("ZEBRA"); },
            [&] { return Text("transcript-found") == "1 of " + std::to_string(marked.size()); });
  EXPECT_EQ(Js("document.querySelector('.t-line.current').dataset.id"), IdOf(0));
  EXPECT_EQ(Js("document.querySelector('.t-line.current .ori').innerHTML"),
            "line 0 the <mark>zebra</mark> crossed");

  // Back from the first result wraps to the last, a page far away.
  Js("document.getElementById('transcript-previous').click() || 1");
  ASSERT_TRUE(RunLoopUntil([&] {
    return Js("document.querySelector('.t-line.current')?.dataset.id") == IdOf(marked.back());
  }));
  EXPECT_LE(Rows(), kMostRows);

  std::printf(
      "[ figures ] transcript of %d lines: open %lld ms, to the start %lld ms, "
      "search %lld ms\n",
      kLines, open_ms, start_ms, search_ms);
}

TEST_F(TranscriptViewTest, FollowsNewCaptionsAtTheNewestLineAndHoldsStillFurtherUp) {
  auto& lines = *TheProgram().lines;
  const auto caption = [&](const std::string& text) {
    lines.UpsertLine(lines.LineLock(), text, true);
  };
  const auto last_text = [] {
    return Js("[...document.querySelectorAll('.t-line')].pop()?.querySelector('.ori').textContent");
  };
  const auto scroll = [] { return Js("document.getElementById('transcript').scrollTop"); };
  ShowAndPress("End");
  caption("a fresh caption");
  ASSERT_TRUE(RunLoopUntil([&] { return last_text() == "a fresh caption"; }));
  // The first caption of this run of the program begins a session: its heading comes at once.
  const std::string fresh = lines.LineList(lines.LineLock()).back()->Id;
  EXPECT_TRUE(RunLoopUntil([&] {
    return Js("document.querySelector('.t-session:nth-last-child(2)')?.dataset.first") == fresh;
  }));
  EXPECT_EQ(Js("(e => e.scrollHeight - e.scrollTop - e.clientHeight < 4)("
               "document.getElementById('transcript'))"),
            "true");

  // Scrolled back to the top, what shows stays where it is.
  Js("document.getElementById('transcript').scrollTop = 0");
  ASSERT_TRUE(RunLoopUntil([] { return Rows() > 200; }));
  const std::string top = scroll(), first = FirstRow();
  caption("another fresh caption");
  ASSERT_TRUE(RunLoopUntil([&] { return last_text() == "another fresh caption"; }));
  EXPECT_EQ(FirstRow(), first);
  EXPECT_EQ(scroll(), top);

  // The other tests find the history as it was written.
  for (int fresh = 0; fresh < 2; ++fresh) {
    const std::string id = lines.LineList(lines.LineLock()).back()->Id;
    lines.DeleteLines(id);
  }
}

TEST_F(TranscriptViewTest, SavesASessionThroughTheSaveDialog) {
  ShowAndPress("Home");
  ASSERT_TRUE(RunLoopUntil(
      [] { return FirstRow() == IdOf(0) && Js("!!document.querySelector('.t-save')") == "true"; }));
  Js("document.getElementById('transcript-format').value = 'csv'");
  Js("document.querySelector('.t-save').click() || 1");
  const std::string saved = SaveThroughDialog("first session", ".csv");
  EXPECT_EQ(saved.rfind("time,original,translation\r\n" + IdOf(0).substr(0, 19) +
                            ",line 0 the zebra crossed,línea 0\r\n",
                        0),
            0u);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), kSessionLines + 1);
}

TEST_F(TranscriptViewTest, SavesATimeRangeAndDeletesItAfterTheSecondClickOnly) {
  // Fifty lines of a session no other test reads line by line, none of them a search result.
  const int first = 8 * kSessionLines + 100, last = first + 49;
  ShowAndPress("End");
  Js("document.getElementById('transcript-range-button').click() || 1");
  for (const auto& [input, n] : {std::pair("transcript-from", first), {"transcript-to", last}})
    Js("(i => { i.value = '" + IdOf(n).substr(0, 10) + "T" + IdOf(n).substr(11, 8) +
       "'; i.dispatchEvent(new Event('input')); })(document.getElementById('" + input + "'))");
  Js("document.getElementById('transcript-format').value = 'csv'");
  Js("document.getElementById('transcript-save-range').click() || 1");
  const std::string saved = SaveThroughDialog("a range", ".csv");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), last - first + 2);

  const std::string press = "document.getElementById('transcript-delete-range')";
  Js(press + ".click() || 1");
  ASSERT_TRUE(RunLoopUntil([&] { return Js(press + ".textContent") == "Delete 50 lines?"; }));
  Js(press + ".click() || 1");
  ASSERT_TRUE(RunLoopUntil(
      [] { return Text("transcript-status") == "The lines of the range were deleted."; }));
  for (const auto& [n, found] : {std::pair(last, "No results"), {last + 1, "1 of 1"}}) {
    Find(OriginalOf(n));
    EXPECT_TRUE(RunLoopUntil([&] { return Text("transcript-found") == found; })) << n;
  }
  Js("document.getElementById('transcript-range-button').click() || 1");  // closed again
}

TEST_F(TranscriptViewTest, ShowsOriginalAndTranslationSideBySideAsStored) {
  auto& settings = *TheProgram().settings;
  const auto pressed = [] {
    return Js("document.getElementById('transcript-side-by-side').getAttribute('aria-pressed')");
  };
  ShowAndPress("End");
  ASSERT_TRUE(RunLoopUntil([] { return LastRow() == IdOf(kLines - 1); }));
  // The newest row's translation: how far below its original, and whether to its right.
  const auto columns = [] {
    return Js(
        "(r => (r.querySelector('.tar').offsetTop - r.querySelector('.ori').offsetTop) + ' ' + "
        "(r.querySelector('.tar').offsetLeft > r.querySelector('.ori').offsetLeft))("
        "[...document.querySelectorAll('.t-line')].pop())");
  };
  EXPECT_NE(columns(), "0 true");
  Js("document.getElementById('transcript-side-by-side').click() || 1");
  EXPECT_EQ(pressed(), "true");
  EXPECT_EQ(columns(), "0 true");
  EXPECT_TRUE(RunLoopUntil([&] { return settings.TranscriptSideBySide(); }));
  RunLoopUntil([] {  // the button's colour changes gradually
    return Js("getComputedStyle(document.getElementById('transcript-side-by-side')).background") ==
           Js("getComputedStyle(document.getElementById('tab-transcript')).background");
  });
  testing::Screenshot("transcript-side-by-side.png");

  // The next run's page starts with what was stored.
  settings.SetTranscriptSideBySide(false);
  Js("Init(" + MainPageInitJson(settings, ProgramVersion()) + ") || 1");
  EXPECT_EQ(pressed(), "false");
}

TEST_F(TranscriptViewTest, DeletesASessionAfterTheSecondClickOnly) {
  // The middle session, reached through a search for its first line.
  const int first = kDeletedSession * kSessionLines;
  ShowAndPress("End");
  Find(OriginalOf(first));
  ASSERT_TRUE(RunLoopUntil([&] {
    return Js("document.querySelector('.t-line.current')?.previousElementSibling?.dataset.first") ==
           IdOf(first);
  }));
  const std::string press =
      "document.querySelector('.t-session[data-first=\"" + IdOf(first) + "\"] .t-delete')";
  Js(press + ".click() || 1");
  EXPECT_EQ(Js(press + ".textContent"), "Delete " + std::to_string(kSessionLines) + " lines?");
  Js(press + ".click() || 1");
  ASSERT_TRUE(RunLoopUntil([] { return Text("transcript-status") == "The session was deleted."; }));
  Find(OriginalOf(first + kSessionLines - 1));
  EXPECT_TRUE(RunLoopUntil([] { return Text("transcript-found") == "No results"; }));
}

}  // namespace
}  // namespace quensary
