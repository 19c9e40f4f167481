#include "platform/glib/glib_main_queue.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quensary {
namespace {

// Iterates the default main context until `done` or about five seconds have passed. The delays
// below leave room for a slow (sanitised) run to post everything before the first one is due.
void IterateUntil(const bool& done) {
  const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
  while (!done && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, FALSE);
}

TEST(GlibMainQueue, RunsTasksInPostOrderNeverInlineAndCancelledOnesNever) {
  GlibMainQueue queue;
  std::vector<int> order;
  bool done = false;
  const gint64 posted = g_get_monotonic_time();
  auto cancelled =
      queue.PostCancellableAfter(std::chrono::milliseconds(0), [&] { order.push_back(0); });
  queue.Post([&] { order.push_back(1); });
  queue.PostAfter(std::chrono::milliseconds(200), [&] { order.push_back(4), done = true; });
  auto ran =
      queue.PostCancellableAfter(std::chrono::milliseconds(100), [&] { order.push_back(3); });
  queue.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());  // posting from the main thread still defers
  std::thread([&] { cancelled->Cancel(); }).join();
  IterateUntil(done);
  EXPECT_GE(g_get_monotonic_time() - posted, 200 * 1000);
  ran->Cancel();  // after it ran: nothing happens
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace quensary
