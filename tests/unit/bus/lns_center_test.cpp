#include "bus/lns_center.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace quensary {
namespace {

TEST(LnsCenter, DeliversInPostOrderNewestSubscriptionFirstAndOnceOnlyOnce) {
  std::mutex mutex;
  std::vector<std::string> calls;
  LnsCenter bus;
  const auto recorder = [&](std::string label) {
    return [&, label](const LnsMessage& message) {
      std::lock_guard lock(mutex);
      calls.push_back(label + ":" + message.str1);
    };
  };
  const auto post = [&](const char* text) {
    bus.Post("e", std::make_shared<const LnsMessage>(LnsMessage{text, {}, 0, false}));
  };
  post("early");  // before any subscription: never delivered
  bus.Subscribe("e", false, recorder("a"));
  bus.Subscribe("e", true, recorder("b"));
  bus.Subscribe("e", false, [&](const LnsMessage& message) {
    recorder("c")(message);
    if (message.str1 == "1")  // takes effect after this delivery
      bus.Subscribe("e", false, recorder("d"));
  });
  post("1");
  bus.Post("other", nullptr);
  bus.WaitIdle();
  post("2");
  bus.WaitIdle();
  EXPECT_EQ(calls, (std::vector<std::string>{"c:1", "b:1", "a:1", "d:2", "c:2", "a:2"}));
  EXPECT_EQ(bus.SubscriptionCount("e"), 3u);

  bus.Subscribe("once", true, recorder("once"));
  bus.Post("once", nullptr);
  EXPECT_EQ(bus.SubscriptionCount("once"), 0u) << "the last once subscription removes the name";
}

TEST(LnsCenter, SubscribeThenPostFromManyThreadsIsDelivered) {
  LnsCenter bus;
  std::atomic<int> delivered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&bus, &delivered, t] {
      bus.Subscribe("e" + std::to_string(t), false,
                    [&delivered](const LnsMessage&) { ++delivered; });
      bus.Post("e" + std::to_string(t), nullptr);
    });
  }
  for (auto& thread : threads)
    thread.join();
  bus.WaitIdle();
  EXPECT_EQ(delivered.load(), 4);
}

}  // namespace
}  // namespace quensary
