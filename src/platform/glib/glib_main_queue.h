#pragma once

#include "platform/main_queue.h"

namespace quensary {

// Posts tasks to the GLib default main context, which the program's main thread runs.
class GlibMainQueue final : public MainQueue {
 public:
  // One for the whole process, never destroyed: tasks may be posted until the very end.
  static GlibMainQueue& Shared();

  void Post(Task task) override;
  void PostAfter(std::chrono::milliseconds delay, Task task) override;
  std::shared_ptr<Pending> PostCancellableAfter(std::chrono::milliseconds delay,
                                                Task task) override;
};

}  // namespace quensary
