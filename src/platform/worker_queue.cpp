#include "platform/worker_queue.h"

#include <pthread.h>

namespace quensary {

WorkerQueue::WorkerQueue(std::string thread_name, std::chrono::milliseconds retry_delay)
    : retry_delay_(retry_delay), thread_([this, name = std::move(thread_name)] { Run(name); }) {}

WorkerQueue::~WorkerQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void WorkerQueue::Post(std::function<void()> task) {
  PostRetrying([task = std::move(task)] {
    task();
    return Step::kDone;
  });
}

void WorkerQueue::PostRetrying(std::function<Step()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    ++posted_;
  }
  wake_.notify_one();
}

void WorkerQueue::Flush() {
  std::unique_lock lock(mutex_);
  const uint64_t target = posted_;
  finished_one_.wait(lock, [&] { return finished_ >= target; });
}

bool WorkerQueue::Flush(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  const uint64_t target = posted_;
  return finished_one_.wait_for(lock, limit, [&] { return finished_ >= target; });
}

void WorkerQueue::Run(const std::string& thread_name) {
  if (!thread_name.empty())
    pthread_setname_np(pthread_self(), thread_name.substr(0, 15).c_str());
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty())
      return;  // stopping, and everything posted has run
    // A reference into a deque survives pushes at the back, and only this thread pops.
    std::function<Step()>& task = tasks_.front();
    lock.unlock();
    const Step step = task();
    lock.lock();
    if (step == Step::kRetryLater && !stopping_) {
      // A stop cuts the pause short; the task then runs once more and is dropped whatever it
      // makes of it, so draining ends.
      wake_.wait_for(lock, retry_delay_, [this] { return stopping_; });
      continue;
    }
    tasks_.pop_front();
    ++finished_;
    finished_one_.notify_all();
  }
}

}  // namespace quensary
