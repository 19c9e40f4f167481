// The script bridge in real WebKitGTK pages: MyJsBack messages reaching named handlers, the
// scripts injected into every page, RunJsAsync's results, and when OnLoaded runs.

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "support/literal_vault.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"
#include "support/web_page_wait.h"
#include "translate/translate_script.h"
#include "web/page_scheme.h"
#include "web/web_obj.h"

namespace quensary {
namespace {

using testing::AwaitScript;
using testing::LoopbackHttpServer;
using testing::OpenCountedPage;
using testing::OpenLoadedPage;
using testing::RunLoopUntil;

constexpr char kBlankPage[] = "<!DOCTYPE html><html><head><title>blank</title></head></html>";

// One server and one page for the whole program: starting web pages is the slow part.
class Bridge : public ::testing::Test {
 protected:
  using Call = std::pair<std::string, std::string>;

  static void SetUpTestSuite() {
    server_ = std::make_unique<LoopbackHttpServer>();
    server_->ServeHtml("/blank.html", kBlankPage);
    page_ = OpenLoadedPage(server_->Url("/blank.html"));
  }
  static void TearDownTestSuite() {
    page_.reset();
    server_.reset();
  }

  void SetUp() override {
    ASSERT_TRUE(page_) << "the shared page did not load";
    page_->Handlers.clear();
    calls_ = std::make_shared<std::vector<Call>>();
  }

  // A handler that records its calls, tagged with its name.
  void Record(const std::string& name) {
    page_->Handlers[name] = [calls = calls_, name](const std::string& first,
                                                   const std::string& second) {
      calls->emplace_back(name + "|" + first, second);
    };
  }

  // Sends the messages, then a sentinel; messages arrive in order, so once the sentinel is
  // there every earlier message has been dispatched or dropped.
  std::vector<Call> Dispatched(const std::string& script) {
    calls_->clear();
    Record("sentinel");
    page_->RunJs(script + "; MyJsBack('sentinel');");
    EXPECT_TRUE(
        RunLoopUntil([&] { return !calls_->empty() && calls_->back().first == "sentinel|"; }));
    auto calls = *calls_;
    if (!calls.empty())
      calls.pop_back();
    return calls;
  }

  static std::unique_ptr<LoopbackHttpServer> server_;
  static std::shared_ptr<WebObj> page_;
  std::shared_ptr<std::vector<Call>> calls_;
};

std::unique_ptr<LoopbackHttpServer> Bridge::server_;
std::shared_ptr<WebObj> Bridge::page_;

TEST_F(Bridge, OneTextRunsItsHandlerWithTwoEmptyTexts) {
  Record("Start");
  EXPECT_EQ(Dispatched("MyJsBack('Start')"), (std::vector<Call>{{"Start|", ""}}));
}

TEST_F(Bridge, TwoAndThreeTextsReachTheHandlerUnchanged) {
  Record("Set");
  EXPECT_EQ(Dispatched("MyJsBack('Set', 'a\\u{1F495}b'); MyJsBack('Set', '', 'x\\ny')"),
            (std::vector<Call>{{"Set|a\U0001F495b", ""}, {"Set|", "x\ny"}}));
}

TEST_F(Bridge, NoArgumentsRunTheEmptyNamedHandlerOnlyIfThereIsOne) {
  EXPECT_TRUE(Dispatched("MyJsBack()").empty());
  Record("");
  EXPECT_EQ(Dispatched("MyJsBack()"), (std::vector<Call>{{"|", ""}}));
}

TEST_F(Bridge, AMessageWithANonTextIsIgnoredEntirely) {
  Record("Set");
  EXPECT_TRUE(Dispatched("MyJsBack('Set', 5); MyJsBack('Set', 'a', {b: 1});"
                         "MyJsBack('Set', 'a', 'b', null); MyJsBack(7);"
                         "MyJsBack('Set', ['a']); MyJsBack('Set', 'a', 'b', 'c', undefined)")
                  .empty());
}

TEST_F(Bridge, TextsAfterTheThirdAreDropped) {
  Record("Set");
  EXPECT_EQ(Dispatched("MyJsBack('Set', 'a', 'b', 'c', 'd')"), (std::vector<Call>{{"Set|a", "b"}}));
}

TEST_F(Bridge, HandlersAreFoundByExactNameAtEachMessage) {
  Record("Set");
  EXPECT_TRUE(Dispatched("MyJsBack('set'); MyJsBack('Set '); MyJsBack('Se')").empty());
  // Added after the factory ran, and found.
  Record("Later");
  EXPECT_EQ(Dispatched("MyJsBack('Later', 'x')"), (std::vector<Call>{{"Later|x", ""}}));
  // Removed again, and no longer called.
  page_->Handlers.erase("Later");
  EXPECT_TRUE(Dispatched("MyJsBack('Later', 'x')").empty());
}

TEST_F(Bridge, AHandlerMayReplaceHandlersWhileItRuns) {
  page_->Handlers["Swap"] = [this](const std::string&, const std::string&) {
    page_->Handlers.erase("Swap");
    Record("Swapped");
  };
  EXPECT_EQ(Dispatched("MyJsBack('Swap'); MyJsBack('Swap'); MyJsBack('Swapped', 'ok')"),
            (std::vector<Call>{{"Swapped|ok", ""}}));
}

TEST_F(Bridge, AHiddenPageBelievesItIsVisible) {
  // The shared page is in no window at all.
  ASSERT_FALSE(gtk_widget_get_mapped(page_->Widget()));
  EXPECT_EQ(AwaitScript(*page_, "String(document.hidden) + ' ' + document.visibilityState"),
            "false visible");
}

TEST_F(Bridge, TheViewStartsAtFullHdSize) {
  EXPECT_EQ(AwaitScript(*page_, "innerWidth + 'x' + innerHeight"), "1920x1080");
}

TEST_F(Bridge, WithoutTheChannelMyJsBackReturnsNothingAndDoesNotThrow) {
  // As in a page opened outside the program: the bridge script is there, the channel is not.
  auto page = OpenLoadedPage(server_->Url("/blank.html"));
  ASSERT_TRUE(page);
  webkit_user_content_manager_unregister_script_message_handler(
      webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(page->WebView.get())),
      RevealText(Sealed::BridgeHandlerName).c_str());
  EXPECT_EQ(AwaitScript(*page,
                        "(() => { try { return typeof MyJsBack('Set', 'x'); }"
                        " catch (e) { return 'threw'; } })()"),
            "undefined");
}

// RunJsAsync: every outcome is a text, and only a text value is passed on.
using RunJsAsyncResult = Bridge;

TEST_F(RunJsAsyncResult, TextValuesArePassedOn) {
  EXPECT_EQ(AwaitScript(*page_, "'abc' + 'd'"), "abcd");
  EXPECT_EQ(AwaitScript(*page_, "'\\u{1F495}\\n`\\\\'"), "\U0001F495\n`\\");
  EXPECT_EQ(AwaitScript(*page_, "await new Promise(r => setTimeout(() => r('later'), 50))"),
            "later");
  EXPECT_EQ(AwaitScript(*page_, "''"), "");
}

TEST_F(RunJsAsyncResult, EverythingElseGivesTheEmptyText) {
  for (const char* script :
       {"42", "'4' * 2", "({text: 'x'})", "['x']", "null", "undefined", "true",
        "Promise.reject(new Error('no'))", "(() => { throw new Error('no'); })()",
        "await missingFunction('x')", "'unterminated", "}{"}) {
    EXPECT_EQ(AwaitScript(*page_, script), "") << script;
  }
  // The page is none the worse for it.
  EXPECT_EQ(AwaitScript(*page_, "'still here'"), "still here");
}

TEST_F(RunJsAsyncResult, APromiseThatNeverSettlesEndsWithTheEmptyTextAfterTheTimeOut) {
  page_->ResultTimeout = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AwaitScript(*page_, "await new Promise(() => {})", std::chrono::seconds(10)), "");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  page_->ResultTimeout = kScriptResultTimeout;
  EXPECT_EQ(AwaitScript(*page_, "'after'"), "after");
}

TEST_F(RunJsAsyncResult, ANavigationDuringACallEndsItWithTheEmptyText) {
  auto page = OpenLoadedPage(server_->Url("/blank.html"));
  ASSERT_TRUE(page);
  auto result = std::make_shared<std::optional<std::string>>();
  page->RunJsAsync("await new Promise(r => setTimeout(() => r('too late'), 8000))",
                   [result](std::string text) { *result = std::move(text); });
  page->RunJs("location.href = '" + server_->Url("/blank.html?next") + "'");
  // Well before both the page's own 8 s and the 30 s time-out.
  ASSERT_TRUE(RunLoopUntil([&] { return result->has_value(); }, std::chrono::seconds(6)));
  EXPECT_EQ(**result, "");
  EXPECT_EQ(AwaitScript(*page, "location.search"), "?next");
}

TEST_F(RunJsAsyncResult, DroppingThePageDuringACallDeliversTheEmptyTextOnce) {
  auto page = OpenLoadedPage(server_->Url("/blank.html"));
  ASSERT_TRUE(page);
  auto deliveries = std::make_shared<std::vector<std::string>>();
  page->RunJsAsync("await new Promise(() => {})",
                   [deliveries](std::string text) { deliveries->push_back(std::move(text)); });
  page.reset();
  ASSERT_TRUE(RunLoopUntil([&] { return !deliveries->empty(); }, std::chrono::seconds(10)));
  testing::RunLoopFor(std::chrono::milliseconds(200));
  EXPECT_EQ(*deliveries, std::vector<std::string>{""});
}

TEST_F(RunJsAsyncResult, APageWithoutViewDeliversTheEmptyText) {
  WebObj never_built;
  EXPECT_EQ(AwaitScript(never_built, "'x'"), "");
}

// Caption texts reach an engine's trans exactly as they were read, and nothing in them runs.
TEST_F(RunJsAsyncResult, CaptionTextsReachAnEchoTransUnchanged) {
  auto page = OpenLoadedPage(server_->Url("/blank.html"),
                             "window.trans = async (text, source, target) =>"
                             " JSON.stringify([text, source, target]);");
  ASSERT_TRUE(page);
  const std::vector<std::string> texts{
      "He said `hi` and \\` then `${document.title='x'}`",
      "a \\ b \\\\ c \\n \\u{41} \\${x} ${document.title='x'} $ {} $",
      "\"double\" and 'single' quotes, </script>",
      "line one\nline two\r\nline three\r",
      "\U0001F495 joined \U0001F495 rows \U0001F495",
      "",
  };
  for (const auto& text : texts) {
    const auto echoed = AwaitScript(*page, TranslateScript(text, "en\u00e9`", "${es}"));
    ASSERT_TRUE(echoed.has_value()) << text;
    const auto parsed = nlohmann::json::parse(*echoed, nullptr, false);
    ASSERT_TRUE(parsed.is_array()) << *echoed;
    EXPECT_EQ(parsed, nlohmann::json::array({text, "en\u00e9`", "${es}"})) << text;
  }
  EXPECT_EQ(AwaitScript(*page, "document.title"), "blank");
}

// OnLoaded: once per navigation that finishes, or fails after commit; never otherwise.
using PageLoads = Bridge;

// Lets the page settle: no load in progress and one script round trip done.
void Settle(const WebObj& page) {
  testing::WaitUntilIdle(page);
  testing::RunLoopFor(std::chrono::milliseconds(100));
}

TEST_F(PageLoads, AnOkPageAndANotFoundPageEachLoadOnce) {
  server_->Serve("/missing.html", LoopbackHttpServer::Reply::Page("<p>missing</p>", 404));
  for (const char* path : {"/blank.html", "/missing.html"}) {
    auto counted = OpenCountedPage(server_->Url(path));
    ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads > 0; })) << path;
    Settle(*counted.page);
    EXPECT_EQ(*counted.loads, 1) << path;
  }
}

TEST_F(PageLoads, ARefusedConnectionNeverLoads) {
  auto counted = OpenCountedPage(
      "http://127.0.0.1:" + std::to_string(testing::ClosedLoopbackPort()) + "/page.html");
  auto events = testing::RecordLoadEvents(*counted.page);
  ASSERT_TRUE(RunLoopUntil([&] { return events->finished > 0; }));
  Settle(*counted.page);
  EXPECT_EQ(events->committed, 0);
  EXPECT_EQ(*counted.loads, 0);
  // And WebKit's error page did not take its place.
  EXPECT_EQ(AwaitScript(*counted.page, "document.body ? document.body.innerText : ''"), "");
}

TEST_F(PageLoads, AnUnparsableAddressLoadsNothing) {
  for (const char* address : {"", "not an address", "http://[::1/page", "://no-scheme"}) {
    auto counted = OpenCountedPage(address);
    testing::RunLoopFor(std::chrono::milliseconds(200));
    EXPECT_EQ(*counted.loads, 0) << address;
    EXPECT_EQ(webkit_web_view_get_uri(WEBKIT_WEB_VIEW(counted.page->WebView.get())), nullptr)
        << address;
  }
}

TEST_F(PageLoads, AFailureAfterCommitLoadsOnceNotTwice) {
  // Headers and part of the body arrive, then nothing more: committed, still loading.
  // Enough bytes that WebKit's content sniffing is satisfied and the document commits.
  server_->Serve("/endless.html",
                 LoopbackHttpServer::Reply::HeldOpen("<!DOCTYPE html><title>endless</title><!--" +
                                                     std::string(4096, ' ') + "--><p>part"));
  auto counted = OpenCountedPage(server_->Url("/endless.html"));
  auto events = testing::RecordLoadEvents(*counted.page);
  ASSERT_TRUE(RunLoopUntil([&] { return events->committed > 0; }));
  EXPECT_EQ(*counted.loads, 0);
  webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(counted.page->WebView.get()));
  ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads > 0; }));
  Settle(*counted.page);
  EXPECT_EQ(*counted.loads, 1);
}

TEST_F(PageLoads, EveryNavigationOfThePageLoadsAgain) {
  auto counted = OpenCountedPage(server_->Url("/blank.html"));
  ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads == 1; }));
  counted.page->RunJs("location.href = '" + server_->Url("/blank.html?second") + "'");
  ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads == 2; }));
  // OnLoaded is read afresh: a replacement runs from the next navigation on.
  auto replaced = std::make_shared<int>(0);
  counted.page->OnLoaded = [replaced] { ++*replaced; };
  counted.page->RunJs("location.reload()");
  ASSERT_TRUE(RunLoopUntil([&] { return *replaced == 1; }));
  Settle(*counted.page);
  EXPECT_EQ(*counted.loads, 2);
  EXPECT_EQ(*replaced, 1);
}

TEST_F(PageLoads, AFirstLoadThatNeverCommitsIsGivenUp) {
  // The server takes the request and never answers: without the time-out the page would be
  // loading for ever.
  server_->Serve("/silent.html", LoopbackHttpServer::Reply::Silent());
  WebObjDelegate::Options quick;
  quick.load_timeout = std::chrono::seconds(1);
  auto counted = OpenCountedPage(server_->Url("/silent.html"), "", quick);
  auto* view = WEBKIT_WEB_VIEW(counted.page->WebView.get());
  // WebKit reports the start of a load before load_uri returns.
  ASSERT_TRUE(webkit_web_view_is_loading(view));
  auto events = testing::RecordLoadEvents(*counted.page);
  EXPECT_TRUE(
      RunLoopUntil([&] { return !webkit_web_view_is_loading(view); }, std::chrono::seconds(20)));
  Settle(*counted.page);
  EXPECT_EQ(events->committed, 0);
  EXPECT_EQ(*counted.loads, 0);
}

// The scripts every page gets, and the ones its creator adds.
using InjectedScripts = Bridge;

TEST_F(InjectedScripts, PageJsRunsAtDocumentStartBeforeThePagesOwnScripts) {
  server_->ServeHtml("/reads-early.html",
                     "<!DOCTYPE html><script>window.seen = String(window.early);</script>");
  auto page = OpenLoadedPage(server_->Url("/reads-early.html"), "window.early = 'set early';");
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page, "window.seen"), "set early");
}

TEST_F(InjectedScripts, TheContextMenuEventIsCancelledAndDragsCannotStart) {
  EXPECT_EQ(AwaitScript(*page_,
                        "String(!document.dispatchEvent(new MouseEvent('contextmenu',"
                        " {cancelable: true, bubbles: true}))) + ' ' +"
                        "String(!document.dispatchEvent(new DragEvent('dragstart',"
                        " {cancelable: true, bubbles: true})))"),
            "true true");
}

// The program's own pages, served from the bundle built from pages/.
using PageSchemeServes = Bridge;

TEST_F(PageSchemeServes, PagesWithTheirStyleSheetsAndScriptsInUtf8) {
  auto page = OpenLoadedPage(PageAddress("test.html"));
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page, "document.title"), "Quensary page scheme");
  EXPECT_EQ(AwaitScript(*page, "document.getElementById('greeting').textContent"),
            "P\u00e1ginas del programa \U0001F495");
  EXPECT_EQ(AwaitScript(*page, "String(window.pageSchemeScriptRan)"), "true");
  EXPECT_EQ(AwaitScript(*page, "getComputedStyle(document.getElementById('greeting')).color"),
            "rgb(1, 2, 3)");
  EXPECT_EQ(AwaitScript(*page,
                        "await (async () => { const types = [];"
                        "for (const f of ['test.html', 'test.css', 'test.js',"
                        " 'test.json']) {"
                        "  const r = await fetch(f); types.push(r.status + ' ' +"
                        "  r.headers.get('content-type')); }"
                        "return types.join(', '); })()"),
            "200 text/html, 200 text/css, 200 text/javascript, 200 application/json");
}

TEST_F(PageSchemeServes, NotFoundForUnknownPaths) {
  auto page = OpenLoadedPage(PageAddress("test.html"));
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page,
                        "await (async () => { const codes = [];"
                        "for (const f of ['missing.html', 'engines/', 'engines', '../test.html',"
                        " 'test.html/x']) codes.push((await fetch(f)).status);"
                        "return codes.join(' '); })()"),
            "404 404 404 200 404");
  // A missing page is still a navigation that finishes.
  auto counted = OpenCountedPage(PageAddress("missing.html"));
  ASSERT_TRUE(RunLoopUntil([&] { return *counted.loads > 0; }));
}

TEST_F(PageSchemeServes, ItsPagesReachLoopbackServersThatAllowThem) {
  server_->Serve("/open.json", LoopbackHttpServer::Reply::Json("\"open\"", true));
  server_->Serve("/closed.json", LoopbackHttpServer::Reply::Json("\"closed\"", false));
  auto page = OpenLoadedPage(PageAddress("test.html"));
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page, "await (await fetch('" + server_->Url("/open.json") + "')).json()"),
            "open");
  EXPECT_EQ(
      AwaitScript(*page, "await (await fetch('" + server_->Url("/closed.json") + "')).json()"), "");
}

}  // namespace
}  // namespace quensary
