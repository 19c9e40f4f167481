#include "pipeline/translation_requests.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "fakes/core_fixture.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::CallArguments;

class TranslationRequestsTest : public testing::CoreFixture {
 protected:
  // Lists a line (and stores it when finished), as the tracker would.
  void AddLine(const std::string& id, const std::string& ori, bool finish,
               const std::string& tar = "") {
    auto line = std::make_shared<CaptionLine>(id, ori, finish, tar);
    lines->LineList(lines->LineLock()).push_back(line);
    if (finish)
      history->SaveLine(*line);
  }
  std::string ListedTar(const std::string& id) {
    auto held = lines->LineLock();
    const auto line = lines->FindLine(held, id);
    return line ? line->Tar : "<unlisted>";
  }
  std::string StoredTar(const std::string& id) {
    for (const auto& line :
         testing::LatestLinesNow(*history).value_or(std::vector<CaptionLinePtr>{}))
      if (line->Id == id)
        return line->Tar;
    return "<not stored>";
  }
  // The texts that reached an engine, in order.
  std::vector<std::string> SentTexts() {
    queue->RunPending();
    std::vector<std::string> texts;
    for (const auto& script : AsyncScripts())
      texts.push_back(CallArguments(script).at(0));
    return texts;
  }
  void Request(const std::string& text, bool force) {
    requests->RequestTranslation("1", text, force, force);
  }
};

TEST_F(TranslationRequestsTest, TheDelayGateDropsUnforcedRequestsOnTheMonotonicClock) {
  struct Step {
    std::chrono::milliseconds after;
    const char* text;
    bool force;
    std::chrono::hours wall_set = {};
  };
  Activate(1, 500);
  // The window starts at the first request, so with a Delay the very first unforced one waits.
  for (const Step& step : std::initializer_list<Step>{
           {0ms, "dropped: the window starts", false},
           {500ms, "passes: 500 ms after", false},
           {200ms, "dropped: 200 ms after", false},
           {0ms, "passes: forced, the window starts again", true},
           {400ms, "dropped: 400 ms after the forced one", false},
           {100ms, "passes: 500 ms after it", false},
           {100ms, "dropped: a wall clock set forward counts for nothing", false, 2h},
           {400ms, "passes: a wall clock set back counts for nothing", false, -5h}}) {
    clock->Advance(step.after);
    clock->JumpWall(step.wall_set);
    Request(step.text, step.force);
  }
  EXPECT_EQ(SentTexts(),
            (std::vector<std::string>{
                "passes: 500 ms after", "passes: forced, the window starts again",
                "passes: 500 ms after it", "passes: a wall clock set back counts for nothing"}));
}

TEST_F(TranslationRequestsTest, NoEngineOrNoTargetLanguageStopsRequestsAndTheIntegerLimitIsSafe) {
  Request("no engine yet", true);
  Activate(1, 500);
  settings->SetTargetLanguage("");
  Request("no target", true);
  EXPECT_TRUE(SentTexts().empty());
  settings->SetTargetLanguage("es");
  Request("dropped: the window started with the first request", false);
  engines->RebuildEnginePages(DecodeProfile(testing::ProfileJson("e", 1, INT64_MAX)));
  clock->Advance(24h * 365);
  Request("dropped: a Delay that overflows any duration", false);
  Request("forced", true);
  EXPECT_EQ(SentTexts(), std::vector<std::string>{"forced"});
}

TEST_F(TranslationRequestsTest, TheSourceLanguageComesFromTheProviderBeforeEveryRequest) {
  Activate(1, 0);
  preferences->SetForeign(RevealText(Sealed::ProviderDomain),
                          RevealText(Sealed::ProviderLanguageKey), "zh-Hans-CN");
  Request("ni hao", true);
  queue->RunPending();
  preferences->SetForeign(RevealText(Sealed::ProviderDomain),
                          RevealText(Sealed::ProviderLanguageKey), "");
  settings->SetTargetLanguage("fr");
  Request("hello", true);
  queue->RunPending();
  const auto scripts = AsyncScripts();
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(CallArguments(scripts[0]), (std::vector<std::string>{"ni hao", "zh", "es", "1"}));
  EXPECT_EQ(CallArguments(scripts[1]), (std::vector<std::string>{"hello", "", "fr", "1"}));
}

TEST_F(TranslationRequestsTest, AResultTranslatesTheListedLineAndAFinishedOnesHistoryRow) {
  Activate(1, 0);
  AddLine("1", "good morning", true);
  AddLine("2", "how are", false);
  history->SaveLine(CaptionLine("2", "how are", true, "stored"));
  requests->RequestTranslation("1", "good morning", true, true);
  requests->RequestTranslation("2", "how are", false, true);
  queue->RunPending();
  EXPECT_EQ(ListedTar("1"), "es:good morning");
  EXPECT_EQ(StoredTar("1"), "es:good morning");
  EXPECT_EQ(ListedTar("2"), "es:how are");
  EXPECT_EQ(StoredTar("2"), "stored") << "an unfinished line's result stays out of the history";
  EXPECT_NE(AsyncScripts().at(1).find("finish:false"), std::string::npos) << "forced, unfinished";
  EXPECT_EQ(nlohmann::json::parse(published.Last())[1]["Tar"], "es:how are");
  // A failure keeps the translation and publishes why, once; unlisted Ids are ignored.
  factory->pages[0]->responder = [](const std::string&) -> std::optional<std::string> {
    return "\x01"
           "Engine e is down";
  };
  const size_t publications = published.Texts().size();
  requests->RetranslateLine("1");
  requests->RetranslateLine("1");
  requests->RetranslateLine("unlisted");
  queue->RunPending();
  EXPECT_EQ(AsyncScripts().size(), 4u);
  EXPECT_EQ(ListedTar("1"), "es:good morning");
  EXPECT_EQ(published.Texts().size(), publications + 1);
  EXPECT_EQ(nlohmann::json::parse(published.Last())[0]["Fail"], "Engine e is down");
  EXPECT_EQ(engines->EngineState().reason, "Engine e is down");
  EXPECT_EQ(engines->EngineState().answering, false);
  // A request the page dropped for a newer one of its line says nothing.
  factory->pages[0]->responder = [](const std::string&) {
    return std::optional<std::string>("\x03");
  };
  requests->RetranslateLine("1");
  queue->RunPending();
  EXPECT_EQ(published.Texts().size(), publications + 1);
  EXPECT_EQ(engines->EngineState().reason, "Engine e is down");
}

TEST_F(TranslationRequestsTest, ResultsArriveInAnswerOrderAndReachTheHistoryAfterTheLineHasGone) {
  factory->responder = nullptr;  // pages answer when the test says
  Activate(2, 0);
  for (const char* id : {"a", "b", "c"}) {
    AddLine(id, id, true);
    requests->RequestTranslation(id, id, true, true);
  }
  queue->RunPending();
  lines->DeleteLines("a");
  history->SaveLine(CaptionLine("a", "a", true, ""));  // gone from the list, still stored
  factory->pages[1]->Answer("B");
  factory->pages[0]->Answer("A");
  factory->pages[0]->Answer("C");
  EXPECT_EQ(ListedTar("b") + ListedTar("c") + StoredTar("a"), "BCA");
  EXPECT_EQ(nlohmann::json::parse(published.Texts().at(1))[0]["Tar"], "B") << "B came first";
}

TEST_F(TranslationRequestsTest, AnAnswerToAnOlderTextNeverReplacesANewerOnesNorRepublishesALine) {
  factory->responder = nullptr;  // pages answer when the test says
  Activate(2, 0);
  AddLine("x", "one two three", false);
  for (const char* text : {"one", "one two", "one two three"})
    requests->RequestTranslation("x", text, false, true);
  queue->RunPending();
  struct Step {
    size_t page;
    const char* answer;
    const char* shown;
    size_t publications;
  };
  for (const Step& step : std::initializer_list<Step>{
           {1, "uno dos", "uno dos", 1}, {0, "uno", "uno dos", 1}, {0, "uno dos", "uno dos", 1}}) {
    factory->pages[step.page]->Answer(step.answer);
    EXPECT_EQ(ListedTar("x"), step.shown) << step.answer;
    EXPECT_EQ(published.Texts().size(), step.publications) << step.answer;
  }
}

TEST_F(TranslationRequestsTest, ARequestWhosePageNeverAnswersEndsAfterTheTimeOutAndLetsGo) {
  factory->responder = nullptr;
  Activate(1, 0);
  AddLine("1", "hello", true, "hola");
  const long holders = lines.use_count();
  requests->RequestTranslation("1", "hello", true, true);
  clock->Advance(kScriptResultTimeout - 1ms);
  queue->RunPending();
  EXPECT_GT(lines.use_count(), holders) << "the waiting request holds the lines";
  clock->Advance(1ms);
  queue->RunPending();
  EXPECT_EQ(lines.use_count(), holders);
  factory->pages[0]->Answer("tarde");  // late: changes nothing
  EXPECT_EQ(ListedTar("1"), "hola");
}

TEST_F(TranslationRequestsTest, RetranslatingAListedLinePassesTheDelayAndStartsItAgain) {
  Activate(1, 500);
  AddLine("1", "growing line", false, "old");
  Request("growing line", true);
  clock->Advance(200ms);
  requests->RetranslateLine("1");
  clock->Advance(400ms);  // 600 ms after the first request, 400 after the retranslation
  Request("growing line more", false);
  EXPECT_EQ(SentTexts(), (std::vector<std::string>{"growing line", "growing line"}));
}

TEST_F(TranslationRequestsTest, AHistoryFileHeldLockedNeverHoldsUpTheMainThread) {
  Activate(1, 0);
  AddLine("1", "hello", true);
  ASSERT_TRUE(history->Flush(5s));
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(history->path().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  Request("hello", true);
  queue->RunPending();
  // The file's busy time-out is 2 s: a result that waited for the file would take that long.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(ListedTar("1"), "es:hello");
  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(StoredTar("1"), "es:hello");
}

TEST_F(TranslationRequestsTest, ALineFinishingWithItsAnsweredTextIsStoredWithoutAnotherRequest) {
  Activate(1, 0);
  auto& page = *factory->pages.at(0);
  const auto answers = page.responder;
  const auto fails = [](const std::string&) { return std::optional<std::string>("\x01"); };
  struct Case {
    const char *id, *finished_text;
    testing::FakeEnginePage::Responder open_line_answers;
    size_t requests;
  };
  for (const Case& c : std::vector<Case>{{"answered", "good morning", answers, 1},
                                         {"grew", "good morning all", answers, 2},
                                         {"unanswered", "good morning", nullptr, 2},
                                         {"failed", "good morning", fails, 2}}) {
    AddLine(c.id, "good morning", false);
    history->SaveLine(CaptionLine(c.id, c.finished_text, true, ""));
    const size_t before = AsyncScripts().size();
    page.responder = c.open_line_answers;
    requests->RequestTranslation(c.id, "good morning", false, false);
    queue->RunPending();
    page.responder = answers;
    requests->RequestTranslation(c.id, c.finished_text, true, true);
    queue->RunPending();
    EXPECT_EQ(AsyncScripts().size() - before, c.requests) << c.id;
    EXPECT_EQ(StoredTar(c.id), std::string("es:") + c.finished_text) << c.id;
  }
  page.Answer("late");  // the unanswered call would keep the core alive
}

}  // namespace
}  // namespace quensary
