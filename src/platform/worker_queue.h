#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quensary {

// A thread of its own that runs tasks one at a time, in the order they were posted, so callers
// never wait for slow work (a disk, another application) and the work never races itself.
//
// A task may ask to be run again: it then stays first and runs again after the retry delay,
// while everything posted after it waits its turn, so nothing overtakes work that found its
// resource busy. Destroying the queue drains it: everything posted (also by tasks while it
// drains) runs, a task waiting to be retried once more at most, and then the thread is joined.
// Post and Flush may be called from any thread; Flush never from a task.
class WorkerQueue {
 public:
  // What a task made of its work.
  enum class Step { kDone, kRetryLater };

  // `thread_name` (cut to the 15 bytes Linux keeps; none when empty) names the thread in
  // debuggers and process lists.
  explicit WorkerQueue(std::string thread_name = {},
                       std::chrono::milliseconds retry_delay = std::chrono::seconds(1));
  ~WorkerQueue();
  WorkerQueue(const WorkerQueue&) = delete;
  WorkerQueue& operator=(const WorkerQueue&) = delete;

  void Post(std::function<void()> task);
  void PostRetrying(std::function<Step()> task);

  // Waits until everything posted before the call has run (a task that keeps asking to be
  // retried has not): for good, or at most `limit`, saying whether it has.
  void Flush();
  bool Flush(std::chrono::milliseconds limit);

 private:
  void Run(const std::string& thread_name);

  const std::chrono::milliseconds retry_delay_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_one_;
  // Guarded by mutex_. The first task stays queued while it runs and while it waits to be
  // retried; the counts tell Flush when the tasks posted before it are through.
  std::deque<std::function<Step()>> tasks_;
  uint64_t posted_ = 0;
  uint64_t finished_ = 0;
  bool stopping_ = false;
  std::thread thread_;  // last: started when all else is ready
};

}  // namespace quensary
