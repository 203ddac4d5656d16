#include "LatencyStats.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest-rank percentile of sorted, non-empty samples.
double percentile(const std::vector<double>& sorted, double fraction) {
  const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

LatencyStats LatencyStats::of(std::vector<double> samples) {
  LatencyStats stats;
  stats.count = samples.size();
  if (samples.empty()) {
    return stats;
  }
  std::sort(samples.begin(), samples.end());
  stats.p50 = percentile(samples, 0.50);
  stats.p99 = percentile(samples, 0.99);
  stats.max = samples.back();
  return stats;
}
