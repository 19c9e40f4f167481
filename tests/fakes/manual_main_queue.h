#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

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
    decltype(State::pending) dropped;
    std::lock_guard lock(state_->mutex);
    dropped.swap(state_->pending);
  }
  size_t PendingCount() {
    std::lock_guard lock(state_->mutex);
    return state_->pending.size();
  }

 private:
  // Tasks by the time they are due, then by the order they came in.
  using Key = std::pair<Clock::TimePoint, uint64_t>;
  struct State {
    std::mutex mutex;
    std::map<Key, Task> pending;
    uint64_t next = 0;
  };
  // Cancelling after the queue is gone does nothing.
  struct Handle final : Pending {
    Handle(const std::shared_ptr<State>& state, Key key) : state(state), key(key) {}
    void Cancel() override {
      if (auto held = state.lock()) {
        std::lock_guard lock(held->mutex);
        held->pending.erase(key);
      }
    }
    std::weak_ptr<State> state;
    Key key;
  };

  Clock::TimePoint Time() const { return clock_ ? clock_->Now() : Clock::TimePoint{}; }
  Key Add(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(state_->mutex);
    const Key key{Time() + delay, state_->next++};
    state_->pending.emplace(key, std::move(task));
    return key;
  }
  std::optional<Task> TakeDue() {
    std::lock_guard lock(state_->mutex);
    auto first = state_->pending.begin();
    if (first == state_->pending.end() || first->first.first > Time())
      return std::nullopt;
    Task task = std::move(first->second);
    state_->pending.erase(first);
    return task;
  }

  TestClock* clock_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quensary::testing
