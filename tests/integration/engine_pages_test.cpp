// Engine pages over real, hidden WebKitGTK pages: the request path's round-robin across `Cot`
// pages, rebuilds that drop the old pages, the load step after every navigation, and what the
// hidden pages are allowed to do.

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/glib/glib_main_queue.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/process_tree.h"
#include "support/web_page_wait.h"
#include "translate/engine_pool.h"
#include "web/web_engine_page_factory.h"

namespace quensary {
namespace {

using testing::AwaitScript;
using testing::LoopbackHttpServer;
using testing::RunLoopUntil;

// Every page answers `trans` with who it is and what it has seen: its own random id, the text,
// the profile's BeforeJs mark, how often the profile's Js ran in this tab, and its query.
constexpr char kEnginePage[] = R"(<!DOCTYPE html><title>engine</title><script>
window.pageId = Math.random().toString(36).slice(2);
window.trans = async (text, source, target) => JSON.stringify({
  page: pageId, text, source, target, before: String(window.before),
  js: Number(sessionStorage.jsRuns || 0), search: location.search});
</script>)";

constexpr char kNeverAnsweringPage[] = R"(<!DOCTYPE html><title>stuck</title><script>
window.trans = () => new Promise(() => {});
</script>)";

class EnginePages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<LoopbackHttpServer>();
    server_->ServeHtml("/engine.html", kEnginePage);
    server_->ServeHtml("/stuck.html", kNeverAnsweringPage);
  }
  static void TearDownTestSuite() { server_.reset(); }

  EnginePages() {
    TranslationEngines::Seams seams;
    seams.page_factory = std::make_shared<WebEnginePageFactory>();
    seams.main_queue = std::make_shared<GlibMainQueue>();
    seams.clock = std::make_shared<SystemClock>();
    engines_ = TranslationEngines::Create(std::move(seams));
  }

  static TranslatorProfilePtr Profile(const std::string& id, int64_t cot,
                                      const std::string& path = "/engine.html") {
    auto profile = std::make_shared<TranslatorProfile>();
    profile->Id = id;
    profile->Name = "Engine " + id;
    profile->Cot = cot;
    profile->Url = server_->Url(path);
    profile->BeforeJs = "window.before = '" + id + "';";
    profile->Js = "sessionStorage.jsRuns = Number(sessionStorage.jsRuns || 0) + 1;";
    return profile;
  }

  // Translate, waiting (bounded) for its delivery.
  std::optional<std::string> Translate(const std::string& text) {
    auto result = std::make_shared<std::optional<std::string>>();
    engines_->Translate(text, "en", "es", [result](std::string t) { *result = std::move(t); });
    RunLoopUntil([&] { return result->has_value(); }, std::chrono::seconds(20));
    return *result;
  }

  // What `trans` of one page reports, or null when it gave no JSON.
  static nlohmann::json Report(const std::optional<std::string>& answer) {
    if (!answer)
      return nullptr;
    auto parsed = nlohmann::json::parse(*answer, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json(nullptr) : parsed;
  }

  static WebObj& PageOf(const std::shared_ptr<EnginePage>& page) {
    return *dynamic_cast<WebEnginePage&>(*page).Page();
  }

  // Waits until every open engine page has run the profile's Js `runs` times.
  bool AllPagesRanJs(int runs) {
    for (const auto& page : engines_->EnginePageList()) {
      const bool ran = RunLoopUntil(
          [&] {
            return AwaitScript(PageOf(page), "String(sessionStorage.jsRuns)") ==
                   std::to_string(runs);
          },
          std::chrono::seconds(20));
      if (!ran)
        return false;
    }
    return true;
  }

  static std::unique_ptr<LoopbackHttpServer> server_;
  std::shared_ptr<TranslationEngines> engines_;
};

std::unique_ptr<LoopbackHttpServer> EnginePages::server_;

// First in this program, so that no page of another test shares or hides a web process.
TEST_F(EnginePages, ThreePagesShareOneWebProcessAndServeRequestsInTurn) {
  const size_t processes_before = testing::DescendantsNamed("WebKitWebProcess").size();
  engines_->RebuildEnginePages(Profile("three", 3));
  ASSERT_EQ(engines_->EnginePageList().size(), 3u);
  ASSERT_TRUE(AllPagesRanJs(1));
  // The pages of one engine ride on the first one's web process.
  EXPECT_LE(testing::DescendantsNamed("WebKitWebProcess").size(), processes_before + 1);

  std::vector<std::string> served;
  for (int i = 0; i < 7; ++i) {
    const auto report = Report(Translate("line " + std::to_string(i)));
    ASSERT_TRUE(report.is_object()) << i;
    EXPECT_EQ(report["text"], "line " + std::to_string(i));
    EXPECT_EQ(report["source"], "en");
    EXPECT_EQ(report["target"], "es");
    EXPECT_EQ(report["before"], "three");
    EXPECT_EQ(report["js"], 1);
    served.push_back(report["page"]);
  }
  EXPECT_EQ(std::set<std::string>(served.begin(), served.end()).size(), 3u);
  for (size_t i = 3; i < served.size(); ++i)
    EXPECT_EQ(served[i], served[i - 3]) << i;
}

TEST_F(EnginePages, PagesStayOutOfEveryWindow) {
  engines_->RebuildEnginePages(Profile("hidden", 2));
  ASSERT_TRUE(AllPagesRanJs(1));
  for (const auto& page : engines_->EnginePageList()) {
    GtkWidget* view = PageOf(page).Widget();
    EXPECT_EQ(gtk_widget_get_parent(view), nullptr);
    EXPECT_FALSE(gtk_widget_get_mapped(view));
  }
}

TEST_F(EnginePages, HiddenPagesRunTimersAtFullSpeed) {
  engines_->RebuildEnginePages(Profile("timers", 1));
  ASSERT_TRUE(AllPagesRanJs(1));
  // 40 ticks of 5 ms: a fifth of a second, unless hidden-page throttling (about 7 timers a
  // second) stretches it past the wait.
  EXPECT_EQ(AwaitScript(PageOf(engines_->EnginePageList().front()),
                        "await new Promise(r => { let n = 0; const t = setInterval(() => {"
                        " if (++n === 40) { clearInterval(t); r('done'); } }, 5); })",
                        std::chrono::seconds(3)),
            "done");
}

TEST_F(EnginePages, ARebuildDropsTheOldPagesAndEndsTheirCalls) {
  engines_->RebuildEnginePages(Profile("old", 2, "/stuck.html"));
  ASSERT_TRUE(AllPagesRanJs(1));
  std::vector<std::weak_ptr<EnginePage>> old_pages(engines_->EnginePageList().begin(),
                                                   engines_->EnginePageList().end());
  auto destroyed = std::make_shared<int>(0);
  for (const auto& page : engines_->EnginePageList()) {
    g_signal_connect_data(
        PageOf(page).Widget(), "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
          ++**static_cast<std::shared_ptr<int>*>(data);
        }),
        std::make_unique<std::shared_ptr<int>>(destroyed).release(),
        +[](gpointer data, GClosure*) {
          std::unique_ptr<std::shared_ptr<int>>(static_cast<std::shared_ptr<int>*>(data));
        },
        static_cast<GConnectFlags>(0));
  }
  // A request the old engine will never answer.
  auto stuck = std::make_shared<std::optional<std::string>>();
  engines_->Translate("waiting", "en", "es", [stuck](std::string t) { *stuck = std::move(t); });
  testing::RunLoopFor(std::chrono::milliseconds(100));
  ASSERT_FALSE(stuck->has_value());

  engines_->RebuildEnginePages(Profile("new", 1));
  EXPECT_TRUE(RunLoopUntil([&] { return stuck->has_value(); }, std::chrono::seconds(5)));
  EXPECT_EQ(stuck->value_or("still waiting"), "");
  EXPECT_EQ(*destroyed, 2);
  for (const auto& page : old_pages)
    EXPECT_TRUE(page.expired());

  ASSERT_TRUE(AllPagesRanJs(1));
  const auto report = Report(Translate("after"));
  ASSERT_TRUE(report.is_object());
  EXPECT_EQ(report["before"], "new");
  EXPECT_EQ(report["text"], "after");
}

TEST_F(EnginePages, TheLoadStepRunsJsAfterEveryNavigation) {
  engines_->RebuildEnginePages(Profile("nav", 1));
  ASSERT_TRUE(AllPagesRanJs(1));
  auto& page = PageOf(engines_->EnginePageList().front());
  // A navigation the page starts itself, then a reload.
  page.RunJs("location.search = '?second'");
  ASSERT_TRUE(AllPagesRanJs(2));
  page.RunJs("location.reload()");
  ASSERT_TRUE(AllPagesRanJs(3));
  const auto report = Report(Translate("x"));
  ASSERT_TRUE(report.is_object());
  EXPECT_EQ(report["search"], "?second");
  EXPECT_EQ(report["js"], 3);
  EXPECT_EQ(report["before"], "nav");
}

TEST_F(EnginePages, APageThatNeverLoadsAnswersWithTheEmptyText) {
  auto profile = std::make_shared<TranslatorProfile>(*Profile("refused", 1));
  profile->Url = "http://127.0.0.1:" + std::to_string(testing::ClosedLoopbackPort()) + "/e.html";
  engines_->RebuildEnginePages(profile);
  EXPECT_EQ(Translate("nothing"), "");
}

}  // namespace
}  // namespace quensary
