// Bus latency from Post on one thread to the callback running on the delivery thread.
// Target: median at most 50 us.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bus/lns_center.h"

namespace {

void BM_PostToDelivery(benchmark::State& state) {
  quensary::LnsCenter bus;
  std::atomic<std::chrono::steady_clock::rep> delivered_at{0};
  bus.Subscribe("bench", false, [&](const quensary::LnsMessage&) {
    delivered_at.store(std::chrono::steady_clock::now().time_since_epoch().count());
  });
  bus.WaitIdle();
  auto message =
      std::make_shared<const quensary::LnsMessage>(quensary::LnsMessage{"[]", {}, 0, false});
  for (auto _ : state) {
    delivered_at.store(0);
    const auto posted = std::chrono::steady_clock::now();
    bus.Post("bench", message);
    while (delivered_at.load() == 0)
      std::this_thread::yield();
    const auto delivered = std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(delivered_at.load()));
    state.SetIterationTime(std::chrono::duration<double>(delivered - posted).count());
  }
}
BENCHMARK(BM_PostToDelivery)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
