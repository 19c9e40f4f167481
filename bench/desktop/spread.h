#pragma once

#include <glib.h>

#include <algorithm>
#include <vector>

namespace quensary {

// Wall-clock milliseconds: the clock another process (the demo provider's report) shares.
inline double WallMs() {
  return static_cast<double>(g_get_real_time()) / 1000.0;
}

// The median and the 95th percentile of a set of samples.
struct Spread {
  double p50 = 0, p95 = 0;
  size_t samples = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
  if (values.empty())
    return {};
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values[values.size() * 95 / 100], values.size()};
}

}  // namespace quensary
