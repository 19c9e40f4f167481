#pragma once

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "platform/glib/glib_main_queue.h"
#include "support/main_loop_wait.h"
#include "web/web_obj.h"
#include "web/web_obj_delegate.h"

namespace quensary::testing {

// A page built by the real factory, with a count of its OnLoaded runs.
struct CountedPage {
  std::shared_ptr<WebObj> page = std::make_shared<WebObj>(std::make_shared<GlibMainQueue>());
  std::shared_ptr<int> loads = std::make_shared<int>(0);
};

// Creates a WebObj for `url` (with `page_js`), counts its OnLoaded runs and runs the factory.
inline CountedPage OpenCountedPage(const std::string& url, const std::string& page_js = "") {
  CountedPage counted;
  counted.page->PageUrl = url;
  counted.page->PageJs = page_js;
  counted.page->OnLoaded = [loads = counted.loads] { ++*loads; };
  WebObjDelegate::Create(counted.page, {});
  return counted;
}

// As above, then waits (bounded) for the first OnLoaded. The page is null if none came.
inline std::shared_ptr<WebObj> OpenLoadedPage(const std::string& url,
                                              const std::string& page_js = "") {
  auto counted = OpenCountedPage(url, page_js);
  if (!RunLoopUntil([&] { return *counted.loads > 0; }, std::chrono::seconds(30)))
    return nullptr;
  return counted.page;
}

// RunJsAsync, waiting (bounded) for its delivery; absent when nothing was delivered in time.
inline std::optional<std::string> AwaitScript(
    ScriptTarget& page, const std::string& script,
    std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  auto result = std::make_shared<std::optional<std::string>>();
  page.RunJsAsync(script, [result](std::string text) { *result = std::move(text); });
  RunLoopUntil([&] { return result->has_value(); }, timeout);
  return *result;
}

// A script's value as text, String(value); "<none>" when nothing was delivered in time.
inline std::string PageText(ScriptTarget& page, const std::string& script) {
  return AwaitScript(page, "String(" + script + ")").value_or("<none>");
}

// The screen point at the centre of the element `selector` finds, in a page whose top-left
// corner is at `x`, `y` on the screen.
inline std::pair<int, int> ElementCentre(ScriptTarget& page, const std::string& selector, int x,
                                         int y) {
  const auto box = nlohmann::json::parse(PageText(
      page, "JSON.stringify(document.querySelector('" + selector + "').getBoundingClientRect())"));
  return {x + box["x"].get<int>() + box["width"].get<int>() / 2,
          y + box["y"].get<int>() + box["height"].get<int>() / 2};
}

}  // namespace quensary::testing
