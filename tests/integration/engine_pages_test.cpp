// Engine pages over real, hidden WebKitGTK pages: round robin across `Cot` pages sharing one web
// process, rebuilds that drop the old pages, the load step after every navigation, hidden pages
// at full speed, pages that come back after their web process is killed, and the offline engine.

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "support/child_process.h"
#include "support/engine_wait.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/web_page_wait.h"

namespace quensary {
namespace {

using testing::AwaitScript;
using testing::RunLoopUntil;

// Every page answers `trans` with who it is and what it has seen: its own random id, the text,
// the profile's BeforeJs mark, how often the profile's Js ran in this tab, and its query.
constexpr char kEnginePage[] = R"(<!DOCTYPE html><title>engine</title><script>
window.pageId = Math.random().toString(36).slice(2);
window.trans = async (text, source, target) => JSON.stringify({
  page: pageId, text, source, target, before: String(window.before),
  js: Number(sessionStorage.jsRuns || 0), search: location.search});
</script>)";

class EnginePages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testing::LoopbackHttpServer>();
    server_->ServeHtml("/engine.html", kEnginePage);
    server_->ServeHtml("/stuck.html",
                       "<script>window.trans = () => new Promise(() => {});</script>");
  }
  static void TearDownTestSuite() { server_.reset(); }

  static TranslatorProfilePtr Profile(const std::string& id, int64_t cot,
                                      const std::string& path = "/engine.html") {
    auto profile = std::make_shared<TranslatorProfile>();
    profile->Id = id;
    profile->Cot = cot;
    profile->Url = server_->Url(path);
    profile->BeforeJs = "window.before = '" + id + "';";
    profile->Js = "sessionStorage.jsRuns = Number(sessionStorage.jsRuns || 0) + 1;";
    return profile;
  }
  // What `trans` reports; null when no JSON came.
  nlohmann::json Translate(const std::string& text) {
    auto parsed =
        nlohmann::json::parse(testing::TranslateNow(*engines_, text).value_or(""), nullptr, false);
    return parsed.is_discarded() ? nlohmann::json(nullptr) : parsed;
  }
  static WebObj& PageOf(const std::shared_ptr<EnginePage>& page) {
    return *dynamic_cast<WebEnginePage&>(*page).Page();
  }
  // Waits until every open engine page has run the profile's Js `runs` times.
  bool AllPagesRanJs(int runs) {
    for (const auto& page : engines_->EnginePageList()) {
      if (!RunLoopUntil(
              [&] {
                return AwaitScript(PageOf(page), "String(sessionStorage.jsRuns)") ==
                       std::to_string(runs);
              },
              std::chrono::seconds(20)))
        return false;
    }
    return true;
  }

  static std::unique_ptr<testing::LoopbackHttpServer> server_;
  std::shared_ptr<EnginePool> engines_ = testing::WebEnginePool();
};

std::unique_ptr<testing::LoopbackHttpServer> EnginePages::server_;

// The web processes this test program has started.
std::set<pid_t> WebProcesses() {
  std::string listed;
  testing::RunToEnd({"pgrep", "-P", std::to_string(getpid()), "^WebKitWebProces"},
                    std::chrono::seconds(5), &listed);
  std::set<pid_t> pids;
  std::istringstream words(listed);
  for (pid_t pid = 0; words >> pid;)
    pids.insert(pid);
  return pids;
}

// First in this program, so that no page of another test shares or hides a web process.
TEST_F(EnginePages, ThreeHiddenPagesShareOneWebProcessAndServeRequestsInTurn) {
  const size_t processes_before = WebProcesses().size();
  engines_->RebuildEnginePages(Profile("three", 3));
  ASSERT_TRUE(AllPagesRanJs(1));
  EXPECT_LE(WebProcesses().size(), processes_before + 1);
  std::set<std::string> served;
  for (int i = 0; i < 3; ++i) {
    const auto report = Translate("line " + std::to_string(i));
    ASSERT_TRUE(report.is_object()) << i;
    EXPECT_EQ(report["text"], "line " + std::to_string(i));
    EXPECT_EQ(report["before"], "three");
    EXPECT_EQ(report["js"], 1);
    served.insert(report["page"].get<std::string>());
  }
  EXPECT_EQ(served.size(), 3u);
  for (const auto& page : engines_->EnginePageList())
    EXPECT_EQ(gtk_widget_get_parent(PageOf(page).Widget()), nullptr) << "in no window";
  // Hidden pages run timers at full speed: 40 ticks of 5 ms, unless throttled to about 7 a second.
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
  const auto stuck = testing::StartTranslation(*engines_, "waiting", "es");
  engines_->RebuildEnginePages(Profile("new", 1));
  EXPECT_TRUE(RunLoopUntil([&] { return stuck->has_value(); }, std::chrono::seconds(5)));
  EXPECT_EQ(stuck->value_or("still waiting"), "");
  for (const auto& page : old_pages)
    EXPECT_TRUE(page.expired());
  ASSERT_TRUE(AllPagesRanJs(1));
  EXPECT_EQ(Translate("after")["before"], "new");
}

TEST_F(EnginePages, TranslationResumesAfterTheWebProcessIsKilled) {
  const auto before = WebProcesses();
  engines_->RebuildEnginePages(Profile("killed", 2, "/stuck.html"));
  ASSERT_TRUE(AllPagesRanJs(1));
  std::vector<pid_t> engine_processes;
  std::ranges::set_difference(WebProcesses(), before, std::back_inserter(engine_processes));
  ASSERT_EQ(engine_processes.size(), 1u);
  const auto in_flight = testing::StartTranslation(*engines_, "in flight", "es");
  // Serve a working page from now on: the pages load their address again.
  server_->ServeHtml("/stuck.html", kEnginePage);
  kill(engine_processes[0], SIGKILL);
  ASSERT_TRUE(RunLoopUntil([&] { return in_flight->has_value(); }, std::chrono::seconds(10)));
  EXPECT_EQ(**in_flight, "");
  // Within a few seconds both pages have loaded again, with the profile's scripts in place (the
  // tab's storage outlives its web process).
  ASSERT_TRUE(AllPagesRanJs(2));
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(Translate("again")["before"], "killed") << i;
  server_->ServeHtml("/stuck.html", "<script>window.trans = () => new Promise(() => {});</script>");
}

}  // namespace
}  // namespace quensary
