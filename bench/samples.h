// Order statistics of a set of timed samples.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <vector>

namespace korvi::bench {

using Nanoseconds = std::chrono::nanoseconds;

// The nearest-rank percentile (0 < p <= 100): the smallest sample that at least p % of the
// samples do not exceed. Zero for no samples.
inline Nanoseconds Percentile(std::vector<Nanoseconds> samples, double p) {
  if (samples.empty()) return Nanoseconds{0};
  std::sort(samples.begin(), samples.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
  return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

inline Nanoseconds Median(const std::vector<Nanoseconds>& samples) { return Percentile(samples, 50.0); }

}  // namespace korvi::bench
