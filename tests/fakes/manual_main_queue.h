#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "fakes/test_clock.h"
#include "platform/main_queue.h"

namespace quensary::testing {

// A main queue that the test drains by hand. Delayed tasks become due against a TestClock.
class ManualMainQueue final : public MainQueue {
 public:
  explicit ManualMainQueue(TestClock* clock = nullptr) : clock_(clock) {}

  void Post(Task task) override { Add({}, std::move(task)); }
  void PostAfter(std::chrono::milliseconds delay, Task task) override {
    Add(delay, std::move(task));
  }
  std::shared_ptr<Pending> PostCancellableAfter(std::chrono::milliseconds delay,
                                                Task task) override {
    return std::make_shared<Handle>(state_, Add(delay, std::move(task)));
  }

  // Runs due tasks (also those they post) until none is due or `limit` have run, so that a test
  // draining the queue while another thread posts gets its turn back. Returns how many ran.
  size_t RunPending(size_t limit = SIZE_MAX) {
    size_t ran = 0;
    for (auto task = limit ? TakeDue() : std::nullopt; task;
         task = ran < limit ? TakeDue() : std::nullopt) {
      (*task)();
      ++ran;
    }
    return ran;
  }
  // Drops every task still waiting, and what they hold (the queue itself, say, through the
  // objects the tasks keep).
  void Clear() {
    std::vector<Entry> dropped;
    std::lock_guard lock(state_->mutex);
    dropped.swap(state_->pending);
  }
  size_t PendingCount() {
    std::lock_guard lock(state_->mutex);
    return state_->pending.size();
  }

 private:
  struct Entry {
    Clock::TimePoint due;
    uint64_t sequence;
    Task task;
  };
  struct State {
    std::mutex mutex;
    std::vector<Entry> pending;
    uint64_t next = 0;
  };
  // Cancelling after the queue is gone does nothing.
  struct Handle final : Pending {
    Handle(const std::shared_ptr<State>& state, uint64_t sequence)
        : state(state), sequence(sequence) {}
    void Cancel() override {
      if (auto held = state.lock()) {
        std::lock_guard lock(held->mutex);
        std::erase_if(held->pending, [&](const Entry& e) { return e.sequence == sequence; });
      }
    }
    std::weak_ptr<State> state;
    uint64_t sequence;
  };

  Clock::TimePoint Time() const { return clock_ ? clock_->Now() : Clock::TimePoint{}; }
  uint64_t Add(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(state_->mutex);
    state_->pending.push_back({Time() + delay, state_->next, std::move(task)});
    return state_->next++;
  }
  std::optional<Task> TakeDue() {
    std::lock_guard lock(state_->mutex);
    auto& pending = state_->pending;
    auto best = pending.end();
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if (it->due <= Time() && (best == pending.end() || std::tie(it->due, it->sequence) <
                                                             std::tie(best->due, best->sequence)))
        best = it;
    }
    if (best == pending.end())
      return std::nullopt;
    Task task = std::move(best->task);
    pending.erase(best);
    return task;
  }

  TestClock* clock_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quensary::testing
