#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace quensary {

// Puts the median and the 95th percentile of per-iteration times (in ms) into the benchmark's
// counters and returns the median; 0 when nothing was timed.
inline double ReportMedianMs(benchmark::State& state, std::vector<double> times) {
  if (times.empty())
    return 0;
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  state.counters["median_ms"] = median;
  state.counters["p95_ms"] = times[times.size() * 95 / 100];
  return median;
}

}  // namespace quensary
