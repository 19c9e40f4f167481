#pragma once

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "fakes/test_clock.h"
#include "platform/main_queue.h"

namespace quensary::testing {

// A main queue that the test drains by hand. Delayed tasks become due against a TestClock.
class ManualMainQueue final : public MainQueue {
 public:
  explicit ManualMainQueue(TestClock* clock = nullptr) : clock_(clock) {}

  void Post(Task task) override { PostAfter(std::chrono::milliseconds(0), std::move(task)); }

  void PostAfter(std::chrono::milliseconds delay, Task task) override {
    std::lock_guard lock(mutex_);
    const auto due = (clock_ ? clock_->Now() : Clock::TimePoint{}) + delay;
    pending_.push_back({due, next_sequence_++, std::move(task)});
  }

  // Runs due tasks (also those they post) until none is due, or `limit` have run: a test that
  // drains the queue while another thread keeps posting needs to get its turn back. Returns how
  // many ran.
  size_t RunPending(size_t limit = SIZE_MAX) {
    size_t ran = 0;
    while (ran < limit) {
      auto task = TakeDue();
      if (!task)
        break;
      (*task)();
      ++ran;
    }
    return ran;
  }

  size_t PendingCount() {
    std::lock_guard lock(mutex_);
    return pending_.size();
  }

 private:
  struct Entry {
    Clock::TimePoint due;
    uint64_t sequence;
    Task task;
  };

  std::optional<Task> TakeDue() {
    std::lock_guard lock(mutex_);
    const auto now = clock_ ? clock_->Now() : Clock::TimePoint{};
    auto best = pending_.end();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->due > now)
        continue;
      if (best == pending_.end() ||
          std::tie(it->due, it->sequence) < std::tie(best->due, best->sequence)) {
        best = it;
      }
    }
    if (best == pending_.end())
      return std::nullopt;
    Task task = std::move(best->task);
    pending_.erase(best);
    return task;
  }

  TestClock* clock_;
  std::mutex mutex_;
  std::vector<Entry> pending_;
  uint64_t next_sequence_ = 0;
};

}  // namespace quensary::testing
