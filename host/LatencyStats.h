// LatencyStats: the summary of snap-to-frame latencies: median, 99th percentile (nearest rank)
// and maximum.
#pragma once

#include <cstddef>
#include <vector>

struct LatencyStats {
  size_t count = 0;
  double p50 = 0;
  double p99 = 0;
  double max = 0;

  static LatencyStats of(std::vector<double> samples);
};
