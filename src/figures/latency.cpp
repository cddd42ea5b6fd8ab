#include "figures/latency.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace korvi::figures {

LatencySummary SummariseLatencies(std::vector<std::int64_t> latenciesUs) {
  LatencySummary summary;
  if (latenciesUs.empty()) return summary;
  std::sort(latenciesUs.begin(), latenciesUs.end());
  const std::size_t n = latenciesUs.size();
  summary.measured = n;
  summary.medianUs = n % 2 == 1 ? latenciesUs[n / 2] : (latenciesUs[n / 2 - 1] + latenciesUs[n / 2]) / 2;
  summary.maxUs = latenciesUs.back();
  return summary;
}

std::string Milliseconds(std::int64_t microseconds) {
  const char* sign = microseconds < 0 ? "-" : "";
  const std::uint64_t magnitude =
      microseconds < 0 ? 0 - static_cast<std::uint64_t>(microseconds) : static_cast<std::uint64_t>(microseconds);
  char text[40];
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%03" PRIu64, sign, magnitude / 1000, magnitude % 1000);
  return text;
}

std::string MedianAndMax(const LatencySummary& summary, const std::string& unit) {
  if (summary.measured == 0) return ", median -, max -";
  return ", median " + Milliseconds(summary.medianUs) + " ms, max " + Milliseconds(summary.maxUs) + " ms" + unit;
}

}  // namespace korvi::figures
