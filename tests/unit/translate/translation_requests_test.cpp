#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/fake_engine_page.h"
#include "fakes/manual_main_queue.h"
#include "fakes/memory_preferences.h"
#include "fakes/published_lines.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "history/sqlite_helper.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "pipeline/caption_lines.h"
#include "translate/engine_pool.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::FakeEnginePage;

// The three template-literal contents of a trans call built from plain texts.
std::vector<std::string> CallArguments(const std::string& script) {
  std::vector<std::string> arguments;
  size_t at = script.find('`');
  while (at != std::string::npos) {
    const size_t end = script.find('`', at + 1);
    arguments.push_back(script.substr(at + 1, end - at - 1));
    at = script.find('`', end + 1);
  }
  return arguments;
}

class TranslationRequestsTest : public ::testing::Test {
 protected:
  TranslationRequestsTest() {
    engines = TranslationEngines::Create({settings, factory, queue, clock, lines, history});
    // Pages answer "<target>:<text>" at once unless a test says otherwise.
    factory->responder = [](const std::string& script) -> std::optional<std::string> {
      const auto arguments = CallArguments(script);
      return arguments.at(2) + ":" + arguments.at(0);
    };
    settings->SetTargetLanguage("es");
  }

  void Activate(int64_t cot, int64_t delay) {
    engines->LoadProfiles(R"([{"Delay":)" + std::to_string(delay) + R"(,"Cot":)" +
                          std::to_string(cot) +
                          R"(,"Id":"e","Name":"E","Url":"u","BeforeJs":"","Js":""}])");
    engines->ActivateEngine("e");
  }

  // Lists a line (and stores it in the history when finished), as the tracker would.
  void AddLine(const std::string& id, const std::string& ori, bool finish,
               const std::string& tar = "") {
    auto line = std::make_shared<CaptionLine>(id, ori, finish, tar);
    auto held = lines->LineLock();
    lines->LineList(held).push_back(line);
    if (finish)
      history->SaveLine(*line);
  }
  std::string ListedTar(const std::string& id) {
    auto held = lines->LineLock();
    const auto line = lines->FindLine(held, id);
    return line ? line->Tar : "<unlisted>";
  }
  std::string StoredTar(const std::string& id) {
    const auto stored = history->LatestLines();
    if (!stored)
      return "<unreadable>";
    for (const auto& line : *stored) {
      if (line->Id == id)
        return line->Tar;
    }
    return "<not stored>";
  }
  // Every awaited script, over all pages ever made.
  std::vector<std::string> AsyncScripts() {
    std::vector<std::string> scripts;
    for (const auto& page : factory->pages)
      scripts.insert(scripts.end(), page->async_scripts.begin(), page->async_scripts.end());
    return scripts;
  }
  // The request runs, its page answers, and the answer is applied.
  void Settle() { queue->RunPending(); }

  testing::TempDir dir;
  LnsCenter bus;
  std::shared_ptr<testing::TestClock> clock = std::make_shared<testing::TestClock>();
  std::shared_ptr<testing::ManualMainQueue> queue =
      std::make_shared<testing::ManualMainQueue>(clock.get());
  std::shared_ptr<testing::MemoryPreferences> preferences =
      std::make_shared<testing::MemoryPreferences>();
  std::shared_ptr<SettingsStore> settings = std::make_shared<SettingsStore>(preferences);
  std::shared_ptr<testing::FakeEnginePageFactory> factory =
      std::make_shared<testing::FakeEnginePageFactory>(*queue);
  std::shared_ptr<SQLiteHelper> history = std::make_shared<SQLiteHelper>(dir.path());
  std::shared_ptr<CaptionLines> lines = std::make_shared<CaptionLines>(bus, history, clock);
  testing::PublishedLines published{bus};
  std::shared_ptr<TranslationEngines> engines;
};

// --- Whether a request reaches an engine ---

TEST_F(TranslationRequestsTest, AnEmptyTargetLanguageStopsEveryRequestAndLeavesTheClockAlone) {
  Activate(1, 500);
  AddLine("1", "hello", true);
  settings->SetTargetLanguage("");
  engines->RequestTranslation("1", "hello", true, true);
  engines->RequestTranslation("1", "hello", false, false);
  engines->RetranslateLine("1");
  Settle();
  EXPECT_TRUE(AsyncScripts().empty());
  EXPECT_EQ(ListedTar("1"), "");

  // Those requests did not start the Delay window: the first unforced one a second later does,
  // and is dropped.
  settings->SetTargetLanguage("es");
  clock->Advance(1s);
  engines->RequestTranslation("1", "hello", false, false);
  Settle();
  EXPECT_TRUE(AsyncScripts().empty());
}

TEST_F(TranslationRequestsTest, TheFirstUnforcedRequestStartsTheDelayWindow) {
  Activate(1, 500);
  engines->RequestTranslation("1", "hello", false, false);
  Settle();
  EXPECT_TRUE(AsyncScripts().empty());
  clock->Advance(500ms);
  engines->RequestTranslation("1", "hello", false, false);
  Settle();
  EXPECT_EQ(AsyncScripts().size(), 1u);
}

TEST_F(TranslationRequestsTest, WithoutDelayEveryRequestPasses) {
  Activate(1, 0);
  for (int i = 0; i < 3; ++i)
    engines->RequestTranslation("1", "hello", false, false);
  Settle();
  EXPECT_EQ(AsyncScripts().size(), 3u);
}

TEST_F(TranslationRequestsTest, UnforcedRequestsWithinTheDelayAreDroppedAndForcedOnesRestartIt) {
  Activate(1, 500);
  AddLine("1", "one", false);
  engines->RequestTranslation("1", "one", true, true);  // passes: forced
  clock->Advance(200ms);
  engines->RequestTranslation("1", "one two", false, false);  // dropped
  engines->RequestTranslation("1", "one two.", true, true);   // passes, window restarts
  clock->Advance(400ms);
  engines->RequestTranslation("2", "three", false, false);  // 400 ms after: dropped
  clock->Advance(100ms);
  engines->RequestTranslation("2", "three four", false, false);  // 500 ms after: passes
  Settle();
  std::vector<std::string> texts;
  for (const auto& script : AsyncScripts())
    texts.push_back(CallArguments(script).at(0));
  EXPECT_EQ(texts, (std::vector<std::string>{"one", "one two.", "three four"}));
}

TEST_F(TranslationRequestsTest, ADelayNearTheIntegerLimitDropsUnforcedRequestsWithoutOverflow) {
  Activate(1, INT64_MAX);
  clock->Advance(std::chrono::hours(24 * 365));
  engines->RequestTranslation("1", "hello", false, false);
  clock->Advance(std::chrono::hours(24 * 365));
  engines->RequestTranslation("1", "hello", false, false);
  engines->RequestTranslation("1", "forced", true, true);
  Settle();
  ASSERT_EQ(AsyncScripts().size(), 1u);
  EXPECT_EQ(CallArguments(AsyncScripts()[0]).at(0), "forced");
}

TEST_F(TranslationRequestsTest, RequestsBeforeAnyEngineIsActiveAreDropped) {
  AddLine("1", "hello", true);
  engines->RequestTranslation("1", "hello", true, true);
  Settle();
  EXPECT_EQ(ListedTar("1"), "");
  Activate(1, 0);
  engines->RequestTranslation("1", "hello", true, true);
  Settle();
  EXPECT_EQ(ListedTar("1"), "es:hello");
}

// --- Languages ---

TEST_F(TranslationRequestsTest, TheSourceLanguageComesFromTheProviderBeforeEveryRequest) {
  Activate(1, 0);
  const std::string domain = RevealText(Sealed::ProviderDomain);
  const std::string key = RevealText(Sealed::ProviderLanguageKey);
  preferences->SetForeign(domain, key, "zh-Hans-CN");
  engines->RequestTranslation("1", "ni hao", true, true);
  Settle();
  EXPECT_EQ(settings->SourceLanguage(), "zh");

  preferences->ClearForeign();
  settings->SetTargetLanguage("fr");
  engines->RequestTranslation("1", "hello", true, true);
  Settle();
  EXPECT_EQ(settings->SourceLanguage(), "") << "a missing preference is the empty text";

  const auto scripts = AsyncScripts();
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(CallArguments(scripts[0]), (std::vector<std::string>{"ni hao", "zh", "es"}));
  EXPECT_EQ(CallArguments(scripts[1]), (std::vector<std::string>{"hello", "", "fr"}));
}

// --- Where results go ---

TEST_F(TranslationRequestsTest, AResultBecomesTheLinesTranslationAndIsPublished) {
  Activate(1, 0);
  AddLine("1", "good morning", true);
  AddLine("2", "how are", false);
  engines->RequestTranslation("1", "good morning", true, true);
  engines->RequestTranslation("2", "how are", false, false);
  Settle();
  EXPECT_EQ(ListedTar("1"), "es:good morning");
  EXPECT_EQ(ListedTar("2"), "es:how are");
  EXPECT_EQ(StoredTar("1"), "es:good morning");

  const auto json = nlohmann::json::parse(published.Last());
  ASSERT_EQ(json.size(), 2u);
  EXPECT_EQ(json[0]["Tar"], "es:good morning");
  EXPECT_EQ(json[1]["Tar"], "es:how are");
}

TEST_F(TranslationRequestsTest, AnUnfinishedLinesResultStaysOutOfTheHistory) {
  Activate(1, 0);
  AddLine("1", "how are", false);
  history->SaveLine(CaptionLine("1", "how are", true, "stored"));
  engines->RequestTranslation("1", "how are", false, true);
  Settle();
  EXPECT_EQ(ListedTar("1"), "es:how are");
  EXPECT_EQ(StoredTar("1"), "stored");
}

TEST_F(TranslationRequestsTest, AnEmptyResultKeepsTheTranslationAndPublishesNothing) {
  factory->responder = [](const std::string&) -> std::optional<std::string> { return ""; };
  Activate(1, 0);
  AddLine("1", "hello", true, "hola");
  const size_t before = published.Texts().size();
  engines->RequestTranslation("1", "hello", true, true);
  Settle();
  EXPECT_EQ(ListedTar("1"), "hola");
  EXPECT_EQ(StoredTar("1"), "hola");
  EXPECT_EQ(published.Texts().size(), before);
}

TEST_F(TranslationRequestsTest, AResultForALineThatLeftTheListStillReachesTheHistory) {
  factory->responder = nullptr;  // answers when the test says
  Activate(1, 0);
  AddLine("1", "kept", false);
  AddLine("2", "finished and gone", true);
  engines->RequestTranslation("2", "finished and gone", true, true);
  engines->RequestTranslation("3", "never listed", false, true);
  Settle();
  {
    auto held = lines->LineLock();
    std::erase_if(lines->LineList(held), [](const CaptionLinePtr& l) { return l->Id == "2"; });
  }
  const size_t before = published.Texts().size();
  factory->pages[0]->Answer("terminado");
  factory->pages[0]->Answer("nunca");
  Settle();
  EXPECT_EQ(published.Texts().size(), before) << "the list did not change";
  EXPECT_EQ(ListedTar("1"), "");
  EXPECT_EQ(ListedTar("2"), "<unlisted>");
  EXPECT_EQ(StoredTar("2"), "terminado");
  EXPECT_EQ(StoredTar("3"), "<not stored>");
}

TEST_F(TranslationRequestsTest, RequestsOutnumberingThePagesAllCompleteInAnswerOrder) {
  factory->responder = nullptr;
  Activate(2, 0);
  for (const char* id : {"a", "b", "c", "d", "e"}) {
    AddLine(id, std::string("line ") + id, true);
    engines->RequestTranslation(id, std::string("line ") + id, true, true);
  }
  Settle();
  FakeEnginePage& first = *factory->pages[0];
  FakeEnginePage& second = *factory->pages[1];
  ASSERT_EQ(first.HeldCount(), 3u);   // a, c, e
  ASSERT_EQ(second.HeldCount(), 2u);  // b, d
  second.Answer("B");
  first.Answer("A");
  second.Answer("D");
  EXPECT_EQ(ListedTar("c"), "");
  first.Answer("C");
  first.Answer("E");
  Settle();
  for (const auto& [id, tar] : std::vector<std::pair<std::string, std::string>>{
           {"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}, {"e", "E"}}) {
    EXPECT_EQ(ListedTar(id), tar);
    EXPECT_EQ(StoredTar(id), tar);
  }
  // Each completion was published as it came: B first, then A.
  const auto texts = published.Texts();
  ASSERT_EQ(texts.size(), 5u);
  const auto after_first = nlohmann::json::parse(texts[0]);
  EXPECT_EQ(after_first[0]["Tar"], "");
  EXPECT_EQ(after_first[1]["Tar"], "B");
}

TEST_F(TranslationRequestsTest, ARequestWhosePageNeverAnswersEndsAfterTheTimeOut) {
  factory->responder = nullptr;
  Activate(1, 0);
  AddLine("1", "hello", true, "hola");
  const long holders_before = lines.use_count();
  engines->RequestTranslation("1", "hello", true, true);
  Settle();
  EXPECT_GT(lines.use_count(), holders_before) << "the waiting request holds the lines";

  clock->Advance(kScriptResultTimeout - 1ms);
  Settle();
  EXPECT_GT(lines.use_count(), holders_before);
  clock->Advance(1ms);
  Settle();
  EXPECT_EQ(lines.use_count(), holders_before) << "the request let go of what it held";
  EXPECT_EQ(ListedTar("1"), "hola");

  // A page that answers after all changes nothing.
  factory->pages[0]->Answer("tarde");
  Settle();
  EXPECT_EQ(ListedTar("1"), "hola");
  EXPECT_EQ(StoredTar("1"), "hola");
}

// --- Translating a line again ---

TEST_F(TranslationRequestsTest, RetranslatingPassesTheDelayAndRestartsIt) {
  Activate(1, 500);
  AddLine("1", "growing line", false, "old");
  engines->RequestTranslation("1", "growing line", true, true);
  clock->Advance(200ms);
  engines->RetranslateLine("1");
  clock->Advance(400ms);  // 600 ms after the first request, 400 after the retranslation
  engines->RequestTranslation("1", "growing line more", false, false);
  Settle();
  ASSERT_EQ(AsyncScripts().size(), 2u);
  EXPECT_EQ(CallArguments(AsyncScripts()[1]).at(0), "growing line");
  EXPECT_EQ(ListedTar("1"), "es:growing line");
}

TEST_F(TranslationRequestsTest, RetranslatingUsesTheListedLineAndIgnoresUnlistedIds) {
  Activate(1, 0);
  AddLine("1", "finished text", true, "old");
  engines->RetranslateLine("2");
  Settle();
  EXPECT_TRUE(AsyncScripts().empty());
  engines->RetranslateLine("1");
  Settle();
  EXPECT_EQ(ListedTar("1"), "es:finished text");
  EXPECT_EQ(StoredTar("1"), "es:finished text") << "a finished line's history follows";
}

}  // namespace
}  // namespace quensary
