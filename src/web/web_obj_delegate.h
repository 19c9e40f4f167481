#pragma once

#include <webkit2/webkit2.h>

#include <chrono>
#include <memory>

#include "support/navigation_outcome.h"
#include "support/restart_backoff.h"
#include "web/web_obj.h"

namespace quensary {

// How long the first load of a page may go on without being committed before it is given up:
// it is stopped, which is a failure before commit, so OnLoaded does not run.
inline constexpr std::chrono::milliseconds kPageLoadTimeout{60'000};

// The factory of every page, and the receiver of its page's events: navigation outcomes (which
// run OnLoaded), script messages from MyJsBack (which run a named handler), and the death of
// the page's web process (killed for its memory, or crashed), after which the page loads its
// address again, with a growing pause should it keep dying. The web view's signal connections
// keep the delegate; creators may drop the returned pointer at once. Main thread only.
class WebObjDelegate : public std::enable_shared_from_this<WebObjDelegate> {
  struct Key {};

 public:
  struct Options {
    // Another page whose web process the new page shares (the pages of one engine), or null.
    const WebObj* related = nullptr;
    std::chrono::milliseconds load_timeout = kPageLoadTimeout;
  };

  // Builds and configures the page's web view, stores it in the WebObj's WebView, starts loading
  // PageUrl (nothing is loaded when it is not an absolute address) and opens the message
  // channel. Run once per WebObj.
  static std::shared_ptr<WebObjDelegate> Create(const std::shared_ptr<WebObj>& page);
  static std::shared_ptr<WebObjDelegate> Create(const std::shared_ptr<WebObj>& page,
                                                Options options);

  WebObjDelegate(Key, const std::shared_ptr<WebObj>& page);
  WebObjDelegate(const WebObjDelegate&) = delete;
  WebObjDelegate& operator=(const WebObjDelegate&) = delete;

  // The platform's events, delivered by the signal handlers.
  void LoadEvent(NavigationOutcome::Event event);
  void ScriptMessageReceived(JSCValue* body);
  void WebProcessDied();
  bool KeepsToProgramPages() const;

 private:
  void RunOnLoaded();

  // Held weakly: the page lives as long as its creator keeps the WebObj.
  std::weak_ptr<WebObj> WebObj_;
  NavigationOutcome outcome_;
  std::chrono::milliseconds first_load_timeout_{};
  RestartBackoff restarts_;
};

}  // namespace quensary
