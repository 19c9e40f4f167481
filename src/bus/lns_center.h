#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bus/lns_message.h"
#include "platform/worker_queue.h"

namespace quensary {

// The in-process publish/subscribe channel. Subscriptions and deliveries run as tasks on one
// serial delivery thread, in submission order: a Post submitted after a Subscribe from the same
// thread reaches that subscription, and a post made before any subscription is dropped.
// Callbacks run on the delivery thread and must return quickly (hand work to the main queue).
class LnsCenter {
 public:
  using Callback = std::function<void(const LnsMessage&)>;

  LnsCenter();
  LnsCenter(const LnsCenter&) = delete;
  LnsCenter& operator=(const LnsCenter&) = delete;

  // Both return at once and may be called from any thread, also while holding other locks.
  void Subscribe(std::string name, bool once, Callback callback);
  void Post(std::string name, LnsMessagePtr message);

  // Blocks until every task submitted before this call has run. For tests and benchmarks; never
  // call it from a callback.
  void WaitIdle();

  // The number of subscriptions of a name, read on the delivery thread. For tests.
  size_t SubscriptionCount(const std::string& name);

 private:
  struct Subscription {
    Callback callback;
    bool once = false;
  };
  void Deliver(const std::string& name, const LnsMessage& message);

  // Touched only by tasks on the delivery thread.
  std::map<std::string, std::vector<Subscription>, std::less<>> subscribers_;
  WorkerQueue delivery_;  // last: its tasks use the subscriptions until it has drained
};

}  // namespace quensary
