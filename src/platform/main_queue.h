#pragma once

#include <chrono>
#include <functional>

namespace quensary {

// Hands work to the main thread, which owns every window, web view and page call.
// Both operations may be called from any thread and return at once; tasks run on the main
// thread in the order they were posted (delayed ones when their time has come).
class MainQueue {
 public:
  using Task = std::function<void()>;

  virtual ~MainQueue() = default;
  virtual void Post(Task task) = 0;
  virtual void PostAfter(std::chrono::milliseconds delay, Task task) = 0;
};

}  // namespace quensary
