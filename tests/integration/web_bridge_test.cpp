// The script bridge in real WebKitGTK pages: MyJsBack messages reaching named handlers, the
// scripts injected into every page, RunJsAsync's results, when OnLoaded runs, the program's own
// page scheme, and the calls its pages keep until they are set up.

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/glib/glib_main_queue.h"
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

using Reply = testing::LoopbackHttpServer::Reply;

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
    page_->ResultTimeout = kScriptResultTimeout;
    calls_->clear();
  }

  // A handler that records its calls, tagged with its name.
  void Record(const std::string& name) {
    page_->Handlers[name] = [calls = calls_, name](const std::string& first,
                                                   const std::string& second) {
      calls->emplace_back(name + "|" + first, second);
    };
  }
  // Sends the messages, then a sentinel; messages arrive in order, so once the sentinel is there
  // every earlier message has been dispatched or dropped.
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
  std::shared_ptr<std::vector<Call>> calls_ = std::make_shared<std::vector<Call>>();
};

std::unique_ptr<LoopbackHttpServer> Bridge::server_;
std::shared_ptr<WebObj> Bridge::page_;

TEST_F(Bridge, MessagesReachTheHandlerOfTheirExactNameWithTwoTexts) {
  Record("Set");
  const std::pair<const char*, std::vector<Call>> cases[] = {
      {"MyJsBack('Set')", {{"Set|", ""}}},
      {"MyJsBack('Set', 'a\\u{1F495}b'); MyJsBack('Set', '', 'x\\ny')",
       {{"Set|a\U0001F495b", ""}, {"Set|", "x\ny"}}},
      // Only the first three elements are looked at: the rest may be anything.
      {"MyJsBack('Set', 'a', 'b', 'c', null, {})", {{"Set|a", "b"}}},
      // A text that is not a text among the first three: the message is ignored.
      {"MyJsBack('Set', 5); MyJsBack('Set', 'a', {b: 1}); MyJsBack(7); MyJsBack('Set', ['a'])", {}},
      {"MyJsBack('set'); MyJsBack('Set '); MyJsBack('Se'); MyJsBack()", {}},
  };
  for (const auto& [script, expected] : cases)
    EXPECT_EQ(Dispatched(script), expected) << script;
  // Handlers are looked up afresh for every message, and may change them while they run.
  page_->Handlers["Swap"] = [this](const std::string&, const std::string&) {
    page_->Handlers.erase("Swap");
    Record("Swapped");
  };
  EXPECT_EQ(Dispatched("MyJsBack('Swap'); MyJsBack('Swap'); MyJsBack('Swapped', 'ok')"),
            (std::vector<Call>{{"Swapped|ok", ""}}));
}

TEST_F(Bridge, AHiddenPageAtFullHdBelievesItIsVisibleAndCannotMakeMenusOrDrags) {
  ASSERT_FALSE(gtk_widget_get_mapped(page_->Widget()));
  EXPECT_EQ(
      AwaitScript(*page_,
                  "[document.hidden, document.visibilityState, innerWidth, innerHeight,"
                  " !document.dispatchEvent(new MouseEvent('contextmenu', {cancelable: true})),"
                  " !document.dispatchEvent(new DragEvent('dragstart', {cancelable: true}))]"
                  ".join(' ')"),
      "false visible 1920 1080 true true");
}

TEST_F(Bridge, RunJsAsyncPassesOnTextValuesOnlyAndTheEmptyTextForAllElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"'abc' + 'd'", "abcd"},
      {"'\\u{1F495}\\n`\\\\'", "\U0001F495\n`\\"},
      {"await new Promise(r => setTimeout(() => r('later'), 50))", "later"},
      {"42", ""},
      {"({text: 'x'})", ""},
      {"null", ""},
      {"undefined", ""},
      {"Promise.reject(new Error('no'))", ""},
      {"(() => { throw new Error('no'); })()", ""},
      {"await missingFunction('x')", ""},
      {"'unterminated", ""},
      {"'still here'", "still here"},
  };
  for (const auto& [script, result] : cases)
    EXPECT_EQ(AwaitScript(*page_, script), result) << script;
  WebObj never_built(std::make_shared<GlibMainQueue>());
  EXPECT_EQ(AwaitScript(never_built, "'x'"), "");
}

TEST_F(Bridge, ACallEndsWithTheEmptyTextWhenItTimesOutThePageNavigatesOrGoesAway) {
  page_->ResultTimeout = std::chrono::milliseconds(300);
  EXPECT_EQ(AwaitScript(*page_, "await new Promise(() => {})", std::chrono::seconds(10)), "");

  auto page = OpenLoadedPage(server_->Url("/blank.html"));
  ASSERT_TRUE(page);
  auto results = std::make_shared<std::vector<std::string>>();
  const auto record = [results](std::string text) { results->push_back(std::move(text)); };
  page->RunJsAsync("await new Promise(r => setTimeout(() => r('too late'), 8000))", record);
  page->RunJs("location.href = '" + server_->Url("/blank.html?next") + "'");
  ASSERT_TRUE(RunLoopUntil([&] { return results->size() == 1; }, std::chrono::seconds(6)));
  page->RunJsAsync("await new Promise(() => {})", record);
  page.reset();
  ASSERT_TRUE(RunLoopUntil([&] { return results->size() == 2; }, std::chrono::seconds(10)));
  EXPECT_EQ(*results, (std::vector<std::string>{"", ""}));
}

// Caption texts reach an engine's trans exactly as they were read, and nothing in them runs. The
// page's script (trans here) runs at document start, before the page's own scripts.
TEST_F(Bridge, CaptionTextsReachAnEchoTransUnchanged) {
  server_->ServeHtml(
      "/reads-early.html",
      "<!DOCTYPE html><title>blank</title><script>window.seen = typeof trans;</script>");
  auto page = OpenLoadedPage(server_->Url("/reads-early.html"),
                             "window.trans = async (text, source, target) =>"
                             " JSON.stringify([text, source, target]);");
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page, "window.seen"), "function");
  for (const std::string& text : std::initializer_list<std::string>{
           "He said `hi` and \\` then `${document.title='x'}`",
           "a \\ b \\\\ c \\n \\u{41} \\${x} $ {} $", "\"double\" and 'single' quotes, </script>",
           "line one\nline two\r\nline three\r", "\U0001F495 joined \U0001F495 rows", "caf\xC3"}) {
    const auto echoed = AwaitScript(*page, TranslateScript(text, "en\u00e9`", "${es}"));
    const auto parsed = nlohmann::json::parse(echoed.value_or(""), nullptr, false);
    const std::string expected = text == "caf\xC3" ? "caf\xEF\xBF\xBD" : text;
    EXPECT_EQ(parsed, nlohmann::json::array({expected, "en\u00e9`", "${es}"})) << text;
  }
  EXPECT_EQ(AwaitScript(*page, "document.title"), "blank");
}

TEST_F(Bridge, OnLoadedRunsForAPageAndANotFoundPageButNotForARefusedOne) {
  server_->Serve("/missing.html", Reply::Page("<p>missing</p>", 404));
  auto ok = OpenCountedPage(server_->Url("/blank.html"));
  auto missing = OpenCountedPage(server_->Url("/missing.html"));
  auto refused =
      OpenCountedPage("http://127.0.0.1:" + std::to_string(testing::ClosedLoopbackPort()));
  for (auto* counted : {&ok, &missing, &refused})
    ASSERT_TRUE(RunLoopUntil(
        [&] { return !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(counted->page->WebView.get())); },
        std::chrono::seconds(20)));
  EXPECT_EQ(AwaitScript(*refused.page, "document.body ? document.body.innerText : ''"), "")
      << "WebKit's error page did not take its place";
  EXPECT_EQ(*ok.loads * 100 + *missing.loads * 10 + *refused.loads, 110);
}

TEST_F(Bridge, ThePageSchemeServesTheProgramsPagesOnItsOwnHostOnly) {
  auto page = OpenLoadedPage(PageAddress("engines/apertium.html"));
  ASSERT_TRUE(page);
  EXPECT_EQ(AwaitScript(*page, "typeof trans"), "function");
  EXPECT_EQ(AwaitScript(*page,
                        "await (async () => { const seen = [];"
                        "for (const f of ['apertium.html', 'apertium.js', 'apertium.json',"
                        " 'missing.html', '../engines/', 'apertium.js/x'"
                        "]) { const r = await fetch(f);"
                        " seen.push(r.status + ' ' + r.headers.get('content-type')); }"
                        "return seen.join(', '); })()"),
            "200 text/html, 200 text/javascript, 200 application/json, 404 text/plain, "
            "404 text/plain, 404 text/plain");
  // The shipped profiles as the main page reads them: each file's text under its name.
  EXPECT_EQ(AwaitScript(*page,
                        "await (async () => { const q = {}; new Function('Quensary', await (await "
                        "fetch('shipped.js')).text())(q); const t = q.shippedProfileTexts; return "
                        "Object.keys(t).includes('deepl.json') + ' ' + (t['apertium.json'] === "
                        "await (await fetch('apertium.json')).text()); })()"),
            "true true");
  for (const char* address :
       {"quensary://other/engines/apertium.html", "quensary:///engines/apertium.html",
        "quensary://user@app/engines/apertium.html", "quensary://app:80/engines/apertium.html"}) {
    auto elsewhere = OpenLoadedPage(address);
    ASSERT_TRUE(elsewhere) << address;
    EXPECT_EQ(AwaitScript(*elsewhere, "typeof trans + ' ' + document.body.innerText"),
              "undefined Not found")
        << address;
  }
  // Its pages reach a loopback server that allows them, and only such a one.
  server_->Serve("/open.json", Reply::Json("\"open\"", true));
  server_->Serve("/closed.json", Reply::Json("\"closed\"", false));
  EXPECT_EQ(AwaitScript(*page, "await (await fetch('" + server_->Url("/open.json") + "')).json()"),
            "open");
  EXPECT_EQ(
      AwaitScript(*page, "await (await fetch('" + server_->Url("/closed.json") + "')).json()"), "");
}

TEST_F(Bridge, BothPagesKeepCallsThatComeBeforeTheyAreSetUpAndApplyThemInOrder) {
  // Once the document is parsed, before the pages set themselves up: the calls must wait (no
  // row appears at once) and then be applied in the order they came.
  const std::string early_calls =
      "document.addEventListener('readystatechange', () => {"
      " if (document.readyState !== 'interactive') return;"
      " Juzi([{Id: '1', Ori: 'first', Tar: 'uno', Finish: true}]);"
      " Juzi([{Id: '2', Ori: 'second', Tar: 'dos', Finish: true}]);"
      " window.waited = document.querySelectorAll('[data-id]').length === 0; });";
  for (const auto& [path, originals] : {std::pair{"main/main.html", "#lines .ori"},
                                        std::pair{"overlay/overlay.html", "#subtitles .ori"}}) {
    auto page = OpenLoadedPage(PageAddress(path), early_calls);
    ASSERT_TRUE(page) << path;
    EXPECT_EQ(AwaitScript(*page, "String(window.waited)"), "true") << path;
    EXPECT_EQ(AwaitScript(*page, std::string("[...document.querySelectorAll('") + originals +
                                     "')].map(e => e.textContent).join()"),
              "second")
        << path;
  }
}

TEST_F(Bridge, TheOfflineEnginePageTakesNothingButAPortNumberFromItsAddress) {
  // Whatever follows "port=" must never choose where the captions go.
  server_->Serve(
      "/elsewhere",
      Reply::Json(R"({"responseData":{"translatedText":"diverted"},"responseStatus":200})", true));
  auto page = OpenLoadedPage(
      PageAddress("engines/apertium.html?port=" + std::to_string(server_->Port()) + "/elsewhere?"));
  ASSERT_TRUE(page);
  // Refused, the port falls back to the engine's own, where an engine may or may not listen.
  EXPECT_NE(AwaitScript(*page, TranslateScript("captions", "en", "es")), "diverted");
  EXPECT_EQ(server_->Hits("/elsewhere"), 0);
}

}  // namespace
}  // namespace quensary
