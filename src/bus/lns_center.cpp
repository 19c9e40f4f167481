#include "bus/lns_center.h"

#include <pthread.h>

#include <future>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

LnsCenter::LnsCenter() {
  worker_ = std::thread([this] {
    // Thread names are limited to 15 bytes.
    const std::string label = RevealText(Sealed::BusQueueLabel).substr(0, 15);
    pthread_setname_np(pthread_self(), label.c_str());
    Run();
  });
}

LnsCenter::~LnsCenter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

LnsCenter& LnsCenter::shared() {
  // Never destroyed: callbacks may still be posting while static objects go away at exit.
  static LnsCenter* const center = new LnsCenter();
  return *center;
}

void LnsCenter::Subscribe(std::string name, bool once, Callback callback) {
  Subscription subscription{std::move(callback), once};
  Submit([this, name = std::move(name), subscription = std::move(subscription)]() mutable {
    subscribers_[name].push_back(std::move(subscription));
  });
}

void LnsCenter::Post(std::string name, LnsMessagePtr message) {
  if (!message)
    message = EmptyLnsMessage();
  Submit([this, name = std::move(name), message = std::move(message)] { Deliver(name, *message); });
}

void LnsCenter::Deliver(const std::string& name, const LnsMessage& message) {
  const auto entry = subscribers_.find(name);
  if (entry == subscribers_.end())
    return;
  // Walk a copy from the newest subscription to the oldest; a `once` subscription leaves the copy
  // right after its call, and walking downwards means no other element shifts under the walk.
  std::vector<Subscription> list = entry->second;
  for (size_t i = list.size(); i-- > 0;) {
    list[i].callback(message);
    if (list[i].once)
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (list.empty()) {
    subscribers_.erase(name);
  } else {
    subscribers_[name] = std::move(list);
  }
}

void LnsCenter::WaitIdle() {
  std::promise<void> done;
  auto future = done.get_future();
  Submit([&done] { done.set_value(); });
  future.wait();
}

size_t LnsCenter::SubscriptionCount(const std::string& name) {
  std::promise<size_t> count;
  auto future = count.get_future();
  Submit([&] {
    const auto entry = subscribers_.find(name);
    count.set_value(entry == subscribers_.end() ? 0 : entry->second.size());
  });
  return future.get();
}

void LnsCenter::Submit(Task task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void LnsCenter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty())
      return;  // stopping, and everything submitted has run
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace quensary
