#include "platform/glib/glib_main_queue.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quensary {
namespace {

// Iterates the default main context until `done` or about five seconds have passed.
void IterateUntil(const bool& done) {
  const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
  while (!done && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, FALSE);
}

TEST(GlibMainQueue, RunsPostedTasksOnTheMainContextInOrderAndNeverInline) {
  GlibMainQueue queue;
  std::vector<int> order;
  bool done = false;
  queue.Post([&] { order.push_back(1); });
  queue.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());  // posting from the main thread still defers
  std::thread worker([&] { queue.Post([&] { order.push_back(3), done = true; }); });
  worker.join();
  IterateUntil(done);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(GlibMainQueue, DelayedTaskRunsNoEarlierThanItsDelay) {
  GlibMainQueue queue;
  bool done = false;
  const gint64 posted = g_get_monotonic_time();
  gint64 ran = 0;
  queue.PostAfter(std::chrono::milliseconds(50), [&] {
    ran = g_get_monotonic_time();
    done = true;
  });
  IterateUntil(done);
  ASSERT_TRUE(done);
  EXPECT_GE(ran - posted, 50 * 1000);
}

}  // namespace
}  // namespace quensary
