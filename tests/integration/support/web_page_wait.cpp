#include "support/web_page_wait.h"

#include "platform/glib/glib_main_queue.h"
#include "support/main_loop_wait.h"

namespace quensary::testing {

CountedPage OpenCountedPage(const std::string& url, const std::string& page_js,
                            WebObjDelegate::Options options) {
  CountedPage counted;
  counted.page = std::make_shared<WebObj>(std::make_shared<GlibMainQueue>());
  counted.page->PageUrl = url;
  counted.page->PageJs = page_js;
  counted.page->OnLoaded = [loads = counted.loads] { ++*loads; };
  WebObjDelegate::Create(counted.page, options);
  return counted;
}

std::shared_ptr<WebObj> OpenLoadedPage(const std::string& url, const std::string& page_js) {
  auto counted = OpenCountedPage(url, page_js);
  if (!RunLoopUntil([&] { return *counted.loads > 0; }, std::chrono::seconds(30)))
    return nullptr;
  return counted.page;
}

std::optional<std::string> AwaitScript(ScriptTarget& page, const std::string& script,
                                       std::chrono::milliseconds timeout) {
  auto result = std::make_shared<std::optional<std::string>>();
  page.RunJsAsync(script, [result](std::string text) { *result = std::move(text); });
  RunLoopUntil([&] { return result->has_value(); }, timeout);
  return *result;
}

bool WaitUntilIdle(const WebObj& page, std::chrono::milliseconds timeout) {
  return RunLoopUntil(
      [&] { return !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(page.WebView.get())); }, timeout);
}

}  // namespace quensary::testing
