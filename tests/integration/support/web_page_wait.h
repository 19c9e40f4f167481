#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "web/web_obj.h"
#include "web/web_obj_delegate.h"

namespace quensary::testing {

// A page built by the real factory, with a count of its OnLoaded runs.
struct CountedPage {
  std::shared_ptr<WebObj> page;
  std::shared_ptr<int> loads = std::make_shared<int>(0);
};

// Creates a WebObj for `url` (with `page_js`), counts its OnLoaded runs and runs the factory.
CountedPage OpenCountedPage(const std::string& url, const std::string& page_js = "",
                            WebObjDelegate::Options options = {});

// As above, then waits (bounded) for the first OnLoaded. The page is null if none came.
std::shared_ptr<WebObj> OpenLoadedPage(const std::string& url, const std::string& page_js = "");

// RunJsAsync, waiting (bounded) for its delivery; absent when nothing was delivered in time.
std::optional<std::string> AwaitScript(
    ScriptTarget& page, const std::string& script,
    std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Waits until the page's web view has stopped loading.
bool WaitUntilIdle(const WebObj& page,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace quensary::testing
