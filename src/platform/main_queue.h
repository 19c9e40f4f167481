#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace quensary {

// Hands work to the main thread, which owns every window, web view and page call.
// Every operation may be called from any thread and returns at once; tasks run on the main
// thread in the order they were posted (delayed ones when their time has come).
class MainQueue {
 public:
  using Task = std::function<void()>;

  // A delayed task that can still be called off.
  class Pending {
   public:
    virtual ~Pending() = default;
    // Drops the task (and what it holds) unless it has already run; any thread.
    virtual void Cancel() = 0;
  };

  virtual ~MainQueue() = default;
  virtual void Post(Task task) = 0;
  virtual void PostAfter(std::chrono::milliseconds delay, Task task) = 0;
  virtual std::shared_ptr<Pending> PostCancellableAfter(std::chrono::milliseconds delay,
                                                        Task task) = 0;
};

}  // namespace quensary
