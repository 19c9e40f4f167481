#pragma once

#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/glib/gobject_ref.h"
#include "platform/main_queue.h"
#include "platform/script_result_deadline.h"
#include "platform/script_target.h"
#include "web/drag_web_view.h"

namespace quensary {

// One page of the program (the main page, the overlay page, an engine page): its web view and
// what its creator configured. Held through std::shared_ptr. The creator fills the fields and
// then runs the factory (WebObjDelegate::Create) once. OnLoaded and Handlers are read afresh at
// every event, so later changes take effect; the other fields are read once, by the factory.
//
// The page lives as long as its WebObj: when the last reference goes, its web view is destroyed
// (and leaves any window that showed it). Creators keep their WebObj for as long as they want
// the page. Main thread only.
class WebObj final : public ScriptTarget {
 public:
  // A native target of the page's MyJsBack(name, first, second).
  using Handler = std::function<void(const std::string& first, const std::string& second)>;

  // Results and time-outs are delivered through `main_queue`, the main thread's.
  explicit WebObj(std::shared_ptr<MainQueue> main_queue) : main_queue_(std::move(main_queue)) {}
  WebObj(const WebObj&) = delete;
  WebObj& operator=(const WebObj&) = delete;
  ~WebObj() override;

  GObjectRef<DragWebView> WebView;  // set by the factory
  std::string AppName;              // given to the user agent; empty for the default
  std::string PageUrl;              // the page to load
  std::string PageJs;               // injected at document start in the main frame
  // Run after every navigation that finishes, or fails after it was committed.
  std::function<void()> OnLoaded = [] {};
  // Run after a navigation that fails before it was committed (a first load given up included).
  std::function<void()> OnLoadFailed;
  std::map<std::string, Handler, std::less<>> Handlers;
  // The view keeps to the program's own pages: its handlers run only while it shows one, and
  // any navigation elsewhere is refused (a link to a web address opens in the browser instead).
  // For the main page and the overlay page, whose handlers can change settings or quit.
  bool ProgramPagesOnly = false;

  // How long RunJsAsync waits for the page before it gives up with the empty text.
  std::chrono::milliseconds ResultTimeout = kScriptResultTimeout;

  // The main thread's queue, which the page's delegate also uses for its timers.
  const std::shared_ptr<MainQueue>& main_queue() const { return main_queue_; }

  // The web view as a widget, to put it into a window; null before the factory ran.
  GtkWidget* Widget() const;

  // Fire and forget: the result and any error are never observed.
  void RunJs(const std::string& script) override;

  // Runs the script as the body of an async function in the page (after the prefix that returns
  // its value) and delivers the text value, or the empty text for anything else: another type,
  // an exception, a rejection, a syntax error, a navigation during the call, a time-out.
  // Each call keeps its own state, so navigating or dropping the WebObj meanwhile is safe.
  void RunJsAsync(const std::string& script, TextCallback done) override;

  // Ends every RunJsAsync call still waiting with the empty text. The factory's delegate calls
  // it when a navigation commits: the document that was to answer is gone, and WebKit may never
  // complete such a call.
  void EndPendingScripts();

  // The calls still waiting, by number; shared with each call so it can leave when it is done.
  struct PendingScripts {
    uint64_t next = 0;
    std::map<uint64_t, TextCallback> calls;
  };

 private:
  std::shared_ptr<MainQueue> main_queue_;
  std::shared_ptr<PendingScripts> pending_ = std::make_shared<PendingScripts>();
};

}  // namespace quensary
