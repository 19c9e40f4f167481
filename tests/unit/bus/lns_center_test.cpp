#include "bus/lns_center.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace quensary {
namespace {

// Records "label:str1" for every call; callbacks run on the bus thread.
class CallLog {
 public:
  LnsCenter::Callback Recorder(std::string label) {
    return [this, label = std::move(label)](const LnsMessage& message) {
      std::lock_guard lock(mutex_);
      calls_.push_back(label + ":" + message.str1);
    };
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

LnsMessagePtr Text(std::string text) {
  return std::make_shared<const LnsMessage>(LnsMessage{std::move(text), {}, 0, false});
}

TEST(LnsCenter, DeliversInPostOrderNewestSubscriptionFirstAndOnceOnlyOnce) {
  LnsCenter bus;
  CallLog log;
  bus.Post("e", Text("early"));  // before any subscription: never delivered
  bus.Subscribe("e", false, log.Recorder("a"));
  bus.Subscribe("e", true, log.Recorder("b"));
  bus.Subscribe("e", false, log.Recorder("c"));
  bus.Post("e", Text("1"));
  bus.Post("other", Text("x"));
  bus.Post("e", Text("2"));
  bus.WaitIdle();
  EXPECT_EQ(log.Calls(), (std::vector<std::string>{"c:1", "b:1", "a:1", "c:2", "a:2"}));
  EXPECT_EQ(bus.SubscriptionCount("e"), 2u);

  LnsCenter single;
  single.Subscribe("e", true, log.Recorder("once"));
  single.Post("e", Text("3"));
  single.WaitIdle();
  EXPECT_EQ(single.SubscriptionCount("e"), 0u) << "the last once subscription removes the name";
}

TEST(LnsCenter, ASubscriptionMadeDuringADeliveryTakesEffectAfterIt) {
  LnsCenter bus;
  CallLog log;
  auto late = log.Recorder("late");
  bus.Subscribe("e", false, [&](const LnsMessage& message) {
    log.Recorder("first")(message);
    if (message.str1 == "1")
      bus.Subscribe("e", false, late);
  });
  bus.Post("e", Text("1"));
  bus.WaitIdle();
  bus.Post("e", Text("2"));
  bus.WaitIdle();
  EXPECT_EQ(log.Calls(), (std::vector<std::string>{"first:1", "late:2", "first:2"}));
}

TEST(LnsCenter, SubscribeThenPostFromManyThreadsIsDelivered) {
  LnsCenter bus;
  std::atomic<int> delivered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&bus, &delivered, t] {
      const std::string name = "e" + std::to_string(t);
      bus.Subscribe(name, false, [&delivered](const LnsMessage&) { ++delivered; });
      bus.Post(name, Text("x"));
    });
  }
  for (auto& thread : threads)
    thread.join();
  bus.WaitIdle();
  EXPECT_EQ(delivered.load(), 4);
}

}  // namespace
}  // namespace quensary
