// Latencies (from a cause to what answered it) summed up as every summary states them, and
// microseconds as the milliseconds those summaries print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvi::figures {

struct LatencySummary {
  std::size_t measured = 0;
  std::int64_t medianUs = 0;  // of an even count: the mean of the two middle ones
  std::int64_t maxUs = 0;
};

LatencySummary SummariseLatencies(std::vector<std::int64_t> latenciesUs);

// Microseconds as milliseconds with three decimals, "1234.567" (exact: integer arithmetic).
std::string Milliseconds(std::int64_t microseconds);

// ", median A ms, max B ms" and then `unit` after the max (" simulated", or nothing), or
// ", median -, max -" when nothing was measured.
std::string MedianAndMax(const LatencySummary& summary, const std::string& unit = "");

}  // namespace korvi::figures
