#include "platform/worker_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace quensary {
namespace {

using namespace std::chrono_literals;
constexpr auto kDone = WorkerQueue::Step::kDone;
constexpr auto kRetry = WorkerQueue::Step::kRetryLater;

TEST(WorkerQueue, ATaskAskingForARetryStaysFirstAndRunsAgainAfterThePause) {
  // Tasks 'a', 'b', ... give the steps listed for them, one per run; `runs` logs each run.
  const struct {
    std::vector<std::vector<WorkerQueue::Step>> tasks;
    std::string runs;
  } cases[] = {
      {{{kRetry, kRetry, kDone}, {kDone}}, "aaab"},
      {{{kDone}, {kRetry, kDone}, {kDone}}, "abbc"},
  };
  for (const auto& c : cases) {
    std::string runs;  // written on the worker only, read after Flush
    std::thread::id worker;
    const auto start = std::chrono::steady_clock::now();
    WorkerQueue queue("", 20ms);
    for (size_t t = 0; t < c.tasks.size(); ++t) {
      queue.PostRetrying([&, steps = c.tasks[t], t, run = size_t{0}]() mutable {
        runs += static_cast<char>('a' + t);
        worker = std::this_thread::get_id();
        return steps.at(run++);
      });
    }
    queue.Flush();
    EXPECT_EQ(runs, c.runs);
    EXPECT_NE(worker, std::this_thread::get_id());
    const auto pauses = static_cast<int>(c.runs.size() - c.tasks.size());
    EXPECT_GE(std::chrono::steady_clock::now() - start, pauses * 20ms) << c.runs;
  }
}

TEST(WorkerQueue, FlushWaitsOnlyForWhatCameBeforeItAndGivesUpAtItsLimit) {
  std::atomic<bool> stop{false};
  std::atomic<bool> busy{true};
  std::function<void()> link;
  WorkerQueue queue("", 5ms);  // after what its tasks use: it drains first
  // Each link posts the next before it ends: the queue never empties until told to stop.
  link = [&] {
    if (!stop)
      queue.Post(link);
  };
  queue.Post(link);
  EXPECT_TRUE(queue.Flush(5s));
  stop = true;
  queue.PostRetrying([&] { return busy ? kRetry : kDone; });
  EXPECT_FALSE(queue.Flush(100ms)) << "a task still finding its resource busy";
  busy = false;
  EXPECT_TRUE(queue.Flush(5s));
}

TEST(WorkerQueue, StoppingRunsEverythingPostedAndARetriedTaskOnceMoreAtMost) {
  int retried_runs = 0;
  std::vector<std::string> ran;
  std::promise<void> started;
  {
    WorkerQueue queue("", 1h);  // only the stop can end the pause
    queue.PostRetrying([&] {
      if (++retried_runs == 1)
        started.set_value();
      return kRetry;
    });
    queue.Post([&] {
      ran.push_back("queued");
      queue.Post([&] { ran.push_back("posted while draining"); });
    });
    started.get_future().wait();
  }
  // Twice when the stop found it pausing, once when the stop came while it ran.
  EXPECT_LE(retried_runs, 2);
  EXPECT_EQ(ran, (std::vector<std::string>{"queued", "posted while draining"}));
}

}  // namespace
}  // namespace quensary
