#pragma once

#include "platform/main_queue.h"

namespace quensary {

// Posts tasks to the GLib default main context, which the program's main thread runs.
class GlibMainQueue final : public MainQueue {
 public:
  void Post(Task task) override;
  void PostAfter(std::chrono::milliseconds delay, Task task) override;
  std::shared_ptr<Pending> PostCancellableAfter(std::chrono::milliseconds delay,
                                                Task task) override;
};

}  // namespace quensary
