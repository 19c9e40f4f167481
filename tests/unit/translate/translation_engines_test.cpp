#include "translate/engine_pool.h"

#include <gtest/gtest.h>

#include "fakes/fake_engine_page.h"
#include "fakes/manual_main_queue.h"
#include "fakes/memory_preferences.h"
#include "fakes/test_clock.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::FakeEnginePage;

std::string Profile(const std::string& id, int64_t cot, int64_t delay = 0,
                    const std::string& url = "http://127.0.0.1:2737/engine.html") {
  return R"({"Delay":)" + std::to_string(delay) + R"(,"Cot":)" + std::to_string(cot) +
         R"(,"Id":")" + id + R"(","Name":"Engine )" + id + R"(","Url":")" + url +
         R"(","BeforeJs":"window.before=')" + id + R"(';","Js":"window.js=')" + id + R"(';"})";
}

class TranslationEnginesTest : public ::testing::Test {
 protected:
  TranslationEnginesTest() {
    engines = TranslationEngines::Create({settings, factory, queue, clock, nullptr, nullptr});
  }

  FakeEnginePage& Page(size_t index) { return *factory->pages.at(index); }

  std::shared_ptr<testing::TestClock> clock = std::make_shared<testing::TestClock>();
  std::shared_ptr<testing::ManualMainQueue> queue =
      std::make_shared<testing::ManualMainQueue>(clock.get());
  std::shared_ptr<testing::MemoryPreferences> preferences =
      std::make_shared<testing::MemoryPreferences>();
  std::shared_ptr<SettingsStore> settings = std::make_shared<SettingsStore>(preferences);
  std::shared_ptr<testing::FakeEnginePageFactory> factory =
      std::make_shared<testing::FakeEnginePageFactory>(*queue);
  std::shared_ptr<TranslationEngines> engines;
};

// --- The profile list ---

TEST_F(TranslationEnginesTest, TheFirstListThatYieldsProfilesIsKept) {
  engines->LoadProfiles("[" + Profile("a", 1) + "," + Profile("b", 1) + "]");
  engines->LoadProfiles("[" + Profile("c", 1) + "]");
  ASSERT_EQ(engines->ProfileList().size(), 2u);
  EXPECT_EQ(engines->ProfileList()[0]->Id, "a");
  EXPECT_EQ(engines->ProfileList()[1]->Id, "b");
}

TEST_F(TranslationEnginesTest, AnEmptyListLeavesRoomForALaterOne) {
  engines->LoadProfiles("[]");
  EXPECT_TRUE(engines->ProfileList().empty());
  engines->LoadProfiles("[" + Profile("a", 1) + "]");
  ASSERT_EQ(engines->ProfileList().size(), 1u);
  EXPECT_EQ(engines->ProfileList()[0]->Id, "a");
}

TEST_F(TranslationEnginesTest, AnUnreadableListIsReportedOnStandardOutputAndLoadsNothing) {
  ::testing::internal::CaptureStdout();
  engines->LoadProfiles("[" + Profile("a", 1) + R"(,{"Delay":250.5,"Cot":1,"Id":"b",)" +
                        R"("Name":"","Url":"","BeforeJs":"","Js":""}])");
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(engines->ProfileList().empty());

  const std::string label = RevealText(Sealed::UnreadableProfileListLabel);
  ASSERT_FALSE(label.empty());
  ASSERT_EQ(printed.rfind(label + " ", 0), 0u) << printed;
  EXPECT_GT(printed.size(), label.size() + 2) << "the decoder's description is missing";
  EXPECT_EQ(printed.find('\n'), printed.size() - 1) << "one line only: " << printed;

  // The list stays open for a readable delivery.
  engines->LoadProfiles("[" + Profile("c", 1) + "]");
  ASSERT_EQ(engines->ProfileList().size(), 1u);
}

// --- Choosing the active profile ---

TEST_F(TranslationEnginesTest, AListedIdWinsOverAUserProfileWithTheSameId) {
  engines->LoadProfiles("[" + Profile("first", 1) + "," + Profile("shared", 1, 0, "listed") + "]");
  settings->SetUserAddLine(Profile("shared", 1, 0, "user"));
  engines->ActivateEngine("shared");
  ASSERT_TRUE(engines->ActiveProfile());
  EXPECT_EQ(engines->ActiveProfile()->Url, "listed");
  EXPECT_EQ(engines->ActiveProfile(), engines->ProfileList()[1]) << "the listed object itself";
  EXPECT_EQ(settings->SelectedLineId(), "shared");
  ASSERT_EQ(factory->pages.size(), 1u);
  EXPECT_EQ(Page(0).setup.url, "listed");
}

TEST_F(TranslationEnginesTest, AnUnlistedIdFallsBackToTheUserProfileAndStoresItsOwnId) {
  engines->LoadProfiles("[" + Profile("first", 1) + "]");
  settings->SetUserAddLine(Profile("mine", 2, 0, "user"));
  engines->ActivateEngine("gone");
  ASSERT_TRUE(engines->ActiveProfile());
  EXPECT_EQ(engines->ActiveProfile()->Id, "mine");
  EXPECT_EQ(settings->SelectedLineId(), "mine");
  EXPECT_EQ(engines->EnginePageList().size(), 2u);

  // The user profile also serves when no list has arrived at all.
  auto fresh = TranslationEngines::Create({settings, factory, queue, clock, nullptr, nullptr});
  fresh->ActivateEngine("gone");
  ASSERT_TRUE(fresh->ActiveProfile());
  EXPECT_EQ(fresh->ActiveProfile()->Id, "mine");
}

TEST_F(TranslationEnginesTest, WithoutAReadableUserProfileTheFirstListedOneIsChosen) {
  engines->LoadProfiles("[" + Profile("first", 1) + "," + Profile("second", 1) + "]");
  for (const char* user : {"", "{not json", R"({"Id":"incomplete"})"}) {
    settings->SetUserAddLine(user);
    settings->SetSelectedLineId("before");
    engines->ActivateEngine("gone");
    ASSERT_TRUE(engines->ActiveProfile()) << user;
    EXPECT_EQ(engines->ActiveProfile()->Id, "first") << user;
    EXPECT_EQ(settings->SelectedLineId(), "first") << user;
  }
}

TEST_F(TranslationEnginesTest, NothingToChooseKeepsTheOpenEngine) {
  // No list and no user profile: nothing is chosen, nothing stored, nothing opened.
  settings->SetSelectedLineId("before");
  engines->ActivateEngine("any");
  EXPECT_FALSE(engines->ActiveProfile());
  EXPECT_TRUE(factory->pages.empty());
  EXPECT_EQ(settings->SelectedLineId(), "before");

  // With an engine open, losing the user profile does not close it.
  settings->SetUserAddLine(Profile("mine", 1));
  engines->ActivateEngine("mine");
  settings->SetUserAddLine("");
  engines->ActivateEngine("mine");
  ASSERT_TRUE(engines->ActiveProfile());
  EXPECT_EQ(engines->ActiveProfile()->Id, "mine");
  ASSERT_EQ(factory->pages.size(), 1u);
  EXPECT_EQ(Page(0).stop_count, 0);
  EXPECT_EQ(engines->EnginePageList().size(), 1u);
}

TEST_F(TranslationEnginesTest, ACountOfZeroOrLessActivatesWithoutPages) {
  engines->LoadProfiles("[" + Profile("one", 1) + "," + Profile("zero", 0) + "," +
                        Profile("negative", -4) + "]");
  engines->ActivateEngine("one");
  for (const char* id : {"zero", "negative"}) {
    engines->ActivateEngine(id);
    ASSERT_TRUE(engines->ActiveProfile());
    EXPECT_EQ(engines->ActiveProfile()->Id, id);
    EXPECT_EQ(settings->SelectedLineId(), id);
    EXPECT_TRUE(engines->EnginePageList().empty()) << id;
  }
  EXPECT_EQ(factory->pages.size(), 1u);
  EXPECT_EQ(Page(0).stop_count, 1) << "the page of the previous engine is stopped";

  std::vector<std::string> results;
  engines->Translate("hello", "en", "es", [&](std::string r) { results.push_back(r); });
  queue->RunPending();
  EXPECT_EQ(results, (std::vector<std::string>{""}));
}

TEST_F(TranslationEnginesTest, AnAbsurdCountOpensABoundedNumberOfPages) {
  engines->LoadProfiles("[" + Profile("huge", INT64_MAX) + "]");
  engines->ActivateEngine("huge");
  EXPECT_EQ(factory->pages.size(), static_cast<size_t>(TranslationEngines::kMaxEnginePages));
}

// --- Engine pages ---

TEST_F(TranslationEnginesTest, ARebuildStopsAndReleasesTheOldPagesAndOpensNewOnes) {
  engines->LoadProfiles("[" + Profile("a", 2) + "," + Profile("b", 3, 0, "http://b/") + "]");
  engines->ActivateEngine("a");
  ASSERT_EQ(factory->pages.size(), 2u);
  engines->ActivateEngine("b");
  ASSERT_EQ(factory->pages.size(), 5u);
  EXPECT_EQ(Page(0).stop_count, 1);
  EXPECT_EQ(Page(1).stop_count, 1);

  ASSERT_EQ(engines->EnginePageList().size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(engines->EnginePageList()[i], factory->pages[2 + i]);
    EXPECT_EQ(Page(2 + i).setup.url, "http://b/");
    EXPECT_EQ(Page(2 + i).setup.before_js, "window.before='b';");
    EXPECT_EQ(Page(2 + i).stop_count, 0);
  }
  // Later pages of a batch share the first one's resources.
  EXPECT_EQ(Page(2).related, nullptr);
  EXPECT_EQ(Page(3).related, factory->pages[2]);
  EXPECT_EQ(Page(4).related, factory->pages[2]);

  // Nothing but the factory's record holds the replaced pages (their load steps included).
  factory->pages.clear();
  EXPECT_TRUE(factory->made[0].expired());
  EXPECT_TRUE(factory->made[1].expired());
  EXPECT_FALSE(factory->made[2].expired());
}

TEST_F(TranslationEnginesTest, EveryLoadRunsTheScriptOfTheProfileThePageWasMadeFor) {
  engines->LoadProfiles("[" + Profile("a", 1) + "," + Profile("b", 1) + "]");
  engines->ActivateEngine("a");
  engines->ActivateEngine("b");
  // The replaced page of "a" finishes a navigation late (the test keeps it alive).
  Page(0).FinishLoad();
  Page(1).FinishLoad();
  EXPECT_TRUE(Page(1).scripts.empty()) << "the script runs as a task of its own";
  queue->RunPending();
  EXPECT_EQ(Page(0).scripts, (std::vector<std::string>{"window.js='a';"}));
  EXPECT_EQ(Page(1).scripts, (std::vector<std::string>{"window.js='b';"}));

  // Again after every later navigation, such as one the page starts itself.
  Page(1).FinishLoad();
  queue->RunPending();
  EXPECT_EQ(Page(1).scripts.size(), 2u);
}

TEST_F(TranslationEnginesTest, RequestsGoToThePagesInTurnAndStartAgainAfterARebuild) {
  engines->LoadProfiles("[" + Profile("a", 3) + "," + Profile("b", 2) + "]");
  engines->ActivateEngine("a");
  std::vector<EnginePage*> served;
  for (int i = 0; i < 5; ++i)
    served.push_back(engines->NextEnginePage().get());
  EXPECT_EQ(served, (std::vector<EnginePage*>{&Page(0), &Page(1), &Page(2), &Page(0), &Page(1)}));

  engines->ActivateEngine("b");
  EXPECT_EQ(engines->NextEnginePage().get(), &Page(3));
  EXPECT_EQ(engines->NextEnginePage().get(), &Page(4));
  EXPECT_EQ(engines->NextEnginePage().get(), &Page(3));
}

TEST_F(TranslationEnginesTest, TranslateAwaitsTransInTheNextPageAndDeliversItsText) {
  factory->responder = [](const std::string& script) -> std::optional<std::string> {
    return "hola (" + script + ")";
  };
  engines->LoadProfiles("[" + Profile("a", 2) + "]");
  engines->ActivateEngine("a");
  std::vector<std::string> results;
  engines->Translate("hello `you`", "en", "es", [&](std::string r) { results.push_back(r); });
  engines->Translate("bye", "en", "es", [&](std::string r) { results.push_back(r); });
  EXPECT_TRUE(results.empty()) << "the page answers later";
  queue->RunPending();
  EXPECT_EQ(Page(0).async_scripts,
            (std::vector<std::string>{R"(await trans(`hello \`you\``,`en`,`es`))"}));
  EXPECT_EQ(Page(1).async_scripts, (std::vector<std::string>{"await trans(`bye`,`en`,`es`)"}));
  EXPECT_EQ(results, (std::vector<std::string>{R"(hola (await trans(`hello \`you\``,`en`,`es`)))",
                                               "hola (await trans(`bye`,`en`,`es`))"}));
}

TEST_F(TranslationEnginesTest, WithoutPagesTranslateDeliversTheEmptyText) {
  std::vector<std::string> results;
  engines->Translate("hello", "en", "es", [&](std::string r) { results.push_back(r); });
  EXPECT_EQ(results, (std::vector<std::string>{""}));
  EXPECT_EQ(engines->NextEnginePage(), nullptr);
}

}  // namespace
}  // namespace quensary
