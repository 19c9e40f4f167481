#include "bus/lns_center.h"

#include <future>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

LnsCenter::LnsCenter() : delivery_(RevealText(Sealed::BusQueueLabel)) {}

void LnsCenter::Subscribe(std::string name, bool once, Callback callback) {
  Subscription subscription{std::move(callback), once};
  delivery_.Post([this, name = std::move(name), subscription = std::move(subscription)]() mutable {
    subscribers_[name].push_back(std::move(subscription));
  });
}

void LnsCenter::Post(std::string name, LnsMessagePtr message) {
  if (!message)
    message = EmptyLnsMessage();
  delivery_.Post(
      [this, name = std::move(name), message = std::move(message)] { Deliver(name, *message); });
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
  delivery_.Flush();
}

size_t LnsCenter::SubscriptionCount(const std::string& name) {
  std::promise<size_t> count;
  auto future = count.get_future();
  delivery_.Post([&] {
    const auto entry = subscribers_.find(name);
    count.set_value(entry == subscribers_.end() ? 0 : entry->second.size());
  });
  return future.get();
}

}  // namespace quensary
