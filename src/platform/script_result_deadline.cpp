#include "platform/script_result_deadline.h"

#include <memory>

namespace quensary {

ScriptTarget::TextCallback WithResultDeadline(MainQueue& queue, std::chrono::milliseconds timeout,
                                              ScriptTarget::TextCallback done) {
  struct Pending {
    ScriptTarget::TextCallback done;
    void Finish(std::string result) {
      // Release the callback (and what it holds) as soon as it has run.
      if (auto callback = std::move(done)) {
        done = nullptr;
        callback(std::move(result));
      }
    }
  };
  auto pending = std::make_shared<Pending>(Pending{std::move(done)});
  queue.PostAfter(timeout, [pending] { pending->Finish({}); });
  return [pending](std::string result) { pending->Finish(std::move(result)); };
}

}  // namespace quensary
