#include "support/web_page_wait.h"

#include "support/main_loop_wait.h"

namespace quensary::testing {

CountedPage OpenCountedPage(const std::string& url, const std::string& page_js,
                            WebObjDelegate::Options options) {
  CountedPage counted;
  counted.page = std::make_shared<WebObj>();
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

std::shared_ptr<LoadEvents> RecordLoadEvents(const WebObj& page) {
  using Events = std::shared_ptr<LoadEvents>;
  auto events = std::make_shared<LoadEvents>();
  g_signal_connect_data(
      page.WebView.get(), "load-changed",
      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
        auto& counts = **static_cast<Events*>(data);
        if (event == WEBKIT_LOAD_STARTED)
          ++counts.started;
        if (event == WEBKIT_LOAD_COMMITTED)
          ++counts.committed;
        if (event == WEBKIT_LOAD_FINISHED)
          ++counts.finished;
      }),
      std::make_unique<Events>(events).release(),
      +[](gpointer data, GClosure*) { std::unique_ptr<Events>(static_cast<Events*>(data)); },
      static_cast<GConnectFlags>(0));
  return events;
}

bool WaitUntilIdle(const WebObj& page, std::chrono::milliseconds timeout) {
  return RunLoopUntil(
      [&] { return !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(page.WebView.get())); }, timeout);
}

}  // namespace quensary::testing
