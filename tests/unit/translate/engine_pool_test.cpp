#include "translate/engine_pool.h"

#include <gtest/gtest.h>

#include "fakes/core_fixture.h"

namespace quensary {
namespace {

using testing::FakeEnginePage;
using testing::ProfileJson;

class EnginePoolTest : public testing::CoreFixture {
 protected:
  FakeEnginePage& Page(size_t index) { return *factory->pages.at(index); }
  std::string ActiveId() { return engines->ActiveProfile() ? engines->ActiveProfile()->Id : ""; }
};

TEST_F(EnginePoolTest, TheFirstReadableNonEmptyListIsKeptAndAnUnreadableOneIsReportedOnce) {
  engines->LoadProfiles("[]");
  engines->LoadProfiles("[" + ProfileJson("a", 1) + R"(,{"Delay":2.5,"Cot":1}])");
  EXPECT_TRUE(engines->ProfileList().empty());
  ASSERT_EQ(diagnostics.lines().size(), 1u);
  const std::string label = RevealText(Sealed::UnreadableProfileListLabel) + " ";
  EXPECT_EQ(diagnostics.lines()[0].rfind(label, 0), 0u);
  EXPECT_GT(diagnostics.lines()[0].size(), label.size()) << "the decoder's description";
  engines->LoadProfiles("[" + ProfileJson("a", 1) + "," + ProfileJson("b", 1) + "]");
  engines->LoadProfiles("[" + ProfileJson("c", 1) + "]");
  ASSERT_EQ(engines->ProfileList().size(), 2u);
  EXPECT_EQ(engines->ProfileList()[1]->Id, "b");
}

TEST_F(EnginePoolTest, ActivationChoosesListedThenTheUsersOwnThenTheFirstAndStoresTheChoice) {
  // Nothing to choose: nothing chosen, stored or opened.
  settings->SetSelectedEngineId("before");
  engines->ActivateEngine("any");
  EXPECT_EQ(ActiveId(), "");
  EXPECT_EQ(settings->SelectedEngineId(), "before");
  // The user's own profile serves also before any list has come.
  settings->SetUserEngineJson(ProfileJson("mine", 2, 0, "user"));
  engines->ActivateEngine("gone");
  EXPECT_EQ(ActiveId(), "mine");
  EXPECT_EQ(engines->EnginePageList().size(), 2u);

  engines->LoadProfiles("[" + ProfileJson("first", 1) + "," + ProfileJson("mine", 1, 0, "listed") +
                        "]");
  engines->ActivateEngine("mine");
  EXPECT_EQ(engines->ActiveProfile(), engines->ProfileList()[1]) << "a listed Id wins";
  engines->ActivateEngine("gone");
  EXPECT_EQ(engines->ActiveProfile()->Url, "user") << "an unlisted Id falls back to the user's";
  for (const char* user : {"", "{not json", R"({"Id":"incomplete"})"}) {
    settings->SetUserEngineJson(user);
    engines->ActivateEngine("gone");
    EXPECT_EQ(ActiveId(), "first") << user;
    EXPECT_EQ(settings->SelectedEngineId(), "first") << user;
  }
}

TEST_F(EnginePoolTest, ARebuildStopsAndReleasesTheOldPagesAndBoundsTheirNumber) {
  engines->LoadProfiles("[" + ProfileJson("a", 2) + "," + ProfileJson("b", 3, 0, "http://b/") +
                        "," + ProfileJson("none", -4) + "," + ProfileJson("huge", INT64_MAX) + "]");
  engines->ActivateEngine("a");
  engines->ActivateEngine("b");
  ASSERT_EQ(factory->pages.size(), 5u);
  EXPECT_EQ(Page(0).stop_count + Page(1).stop_count, 2);
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(engines->EnginePageList()[i - 2], factory->pages[i]);
    EXPECT_EQ(Page(i).setup.url, "http://b/");
    EXPECT_EQ(Page(i).setup.before_js, "window.before='b';");
    // Later pages of a batch share the first one's web process.
    EXPECT_EQ(Page(i).related, i == 2 ? nullptr : factory->pages[2]);
  }
  // Nothing but the factory's record holds the replaced pages (their load steps included).
  factory->pages.erase(factory->pages.begin(), factory->pages.begin() + 2);
  EXPECT_TRUE(factory->made[0].expired());
  EXPECT_TRUE(factory->made[1].expired());

  engines->ActivateEngine("none");
  EXPECT_EQ(ActiveId(), "none");
  EXPECT_TRUE(engines->EnginePageList().empty());
  std::vector<std::string> results;
  engines->Translate("hello", "en", "es", [&](std::string r) { results.push_back(r); });
  EXPECT_EQ(results, std::vector<std::string>{""}) << "no page: the empty text at once";
  engines->ActivateEngine("huge");
  EXPECT_EQ(engines->EnginePageList().size(), static_cast<size_t>(EnginePool::kMaxEnginePages));
}

TEST_F(EnginePoolTest, EveryLoadRunsTheScriptOfTheProfileThePageWasMadeFor) {
  factory->load_at_once = false;
  engines->LoadProfiles("[" + ProfileJson("a", 1) + "," + ProfileJson("b", 1) + "]");
  engines->ActivateEngine("a");
  engines->ActivateEngine("b");
  Page(0).FinishLoad();  // the replaced page of "a" finishes a navigation late
  Page(1).FinishLoad();
  EXPECT_TRUE(Page(1).scripts.empty()) << "the script runs as a task of its own";
  queue->RunPending();
  Page(1).FinishLoad();  // again after every later navigation
  queue->RunPending();
  EXPECT_EQ(Page(0).scripts, (std::vector<std::string>{"window.js='a';"}));
  EXPECT_EQ(Page(1).scripts, (std::vector<std::string>{"window.js='b';", "window.js='b';"}));
}

TEST_F(EnginePoolTest, RequestsGoToThePagesInTurnStartingAgainAfterARebuild) {
  engines->LoadProfiles("[" + ProfileJson("a", 3) + "," + ProfileJson("b", 2) + "]");
  engines->ActivateEngine("a");
  queue->RunPending();
  std::vector<std::string> results;
  for (const char* text : {"1", "2", "3", "4"})
    engines->Translate(text, "en", "es", [&](std::string r) { results.push_back(r); });
  engines->ActivateEngine("b");
  engines->Translate("5", "en", "es", [&](std::string r) { results.push_back(r); });
  EXPECT_TRUE(results.empty()) << "pages answer later";
  queue->RunPending();
  ASSERT_EQ(Page(0).async_scripts.size(), 2u);
  EXPECT_EQ(testing::CallArguments(Page(0).async_scripts[1]),
            (std::vector<std::string>{"4", "en", "es", ""}));
  EXPECT_EQ(Page(2).async_scripts.size(), 1u);
  EXPECT_EQ(Page(3).async_scripts.size(), 1u);
  EXPECT_EQ(results, (std::vector<std::string>{"es:1", "es:2", "es:3", "es:4", "es:5"}));
}

TEST_F(EnginePoolTest, RequestsWaitForTheirPageAndTheStatusFollowsTheActiveEngineOnly) {
  factory->load_at_once = false;
  engines->LoadProfiles("[" + ProfileJson("a", 2) + "," + ProfileJson("b", 1) + "]");
  engines->ActivateEngine("a");
  std::vector<std::string> results;
  const auto translate = [&] {
    engines->Translate("t", "en", "es", [&](std::string r) { results.push_back(r); });
  };
  translate();
  translate();
  queue->RunPending();
  EXPECT_TRUE(Page(0).async_scripts.empty()) << "held until the page has loaded";
  Page(0).languages_answer = R"({"pairs":[["en","ca"]]})";
  Page(0).FinishLoad();
  Page(1).FailLoad();
  queue->RunPending();
  EXPECT_EQ(results, (std::vector<std::string>{"\x02", "es:t"})) << "the failed page at once";
  EXPECT_EQ(engines->EngineState().languages_json, R"({"pairs":[["en","ca"]]})");
  EXPECT_EQ(engines->EngineState().answering, true);

  const auto a = engines->ActiveProfile();
  engines->NoteTranslation(a, false, "down", std::nullopt);
  EXPECT_EQ(engines->EngineState().reason, "down");
  engines->NoteTranslation(a, true, "", 12);
  EXPECT_EQ(Page(0).language_questions, 2) << "asked again once it answers again";
  EXPECT_EQ(engines->EngineState().last_ms, 12);
  engines->ActivateEngine("b");
  engines->NoteTranslation(a, false, "late news of a", std::nullopt);
  EXPECT_EQ(engines->EngineState().engine_id, "b");
  EXPECT_FALSE(engines->EngineState().answering.has_value());
  translate();
  clock->Advance(kScriptResultTimeout);
  queue->RunPending();
  EXPECT_EQ(results.back(), "") << "a page that never loads: the time limit ends the wait";
}

}  // namespace
}  // namespace quensary
