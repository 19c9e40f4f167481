#pragma once

#include <memory>

#include "pipeline/caption_worker.h"
#include "pipeline/main_page_bridge.h"
#include "platform/caption_stream.h"
#include "platform/clock.h"
#include "web/web_obj.h"

namespace quensary {

// The caption pipeline's controller: it owns the main page and the caption worker. Made once, as
// the program is prepared, and kept for the life of the process. Main thread only.
class MainController {
 public:
  // `collaborators` holds everything but the page and the worker, which the controller makes.
  // `share_process_with`, when given, is another page of the program's own whose web process
  // the main page shares. `stream`, when given, is a second caption source beside the
  // accessibility reader; the worker then reads whichever the user's mode and the stream's
  // sender choose.
  MainController(MainPageBridge::Collaborators collaborators, std::shared_ptr<const Clock> clock,
                 const WebObj* share_process_with = nullptr,
                 std::shared_ptr<CaptionStream> stream = nullptr);

  // `WebObj`: the main page, loading from its address once the controller exists.
  const std::shared_ptr<WebObj>& MainPage() const { return main_page_; }
  // The caption worker, started by the page's start command.
  const std::shared_ptr<CaptionWorker>& GetNewTextThread() const { return GetNewTextThread_; }
  MainPageBridge& bridge() { return *bridge_; }

 private:
  std::shared_ptr<CaptionWorker> GetNewTextThread_;
  std::shared_ptr<WebObj> main_page_;
  std::shared_ptr<MainPageBridge> bridge_;
};

}  // namespace quensary
