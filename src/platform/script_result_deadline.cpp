#include "platform/script_result_deadline.h"

#include <memory>

namespace quensary {

ScriptTarget::TextCallback WithResultDeadline(MainQueue& queue, std::chrono::milliseconds timeout,
                                              ScriptTarget::TextCallback done) {
  struct Pending {
    ScriptTarget::TextCallback done;
    std::shared_ptr<MainQueue::Pending> deadline;
    void Finish(std::string result) {
      // Release the callback (and what it holds) as soon as it has run, and call off the timer
      // that is no longer needed: thousands of answered calls must not leave thousands of them.
      if (auto callback = std::move(done)) {
        done = nullptr;
        if (auto timer = std::move(deadline))
          timer->Cancel();
        callback(std::move(result));
      }
    }
  };
  auto pending = std::make_shared<Pending>(Pending{std::move(done), nullptr});
  // The timer holds the call until it fires or is cancelled, so the call ends even when every
  // other holder has let go of it.
  pending->deadline = queue.PostCancellableAfter(timeout, [pending] { pending->Finish({}); });
  return [pending](std::string result) { pending->Finish(std::move(result)); };
}

}  // namespace quensary
