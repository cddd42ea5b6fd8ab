// The stamps that the Windows side of the reaction under Wine writes (the test bed's
// KORVI_WINE_STAMPS file, event-wake-probe.exe's output): "frequency F", then one
// "MOMENT TICKS" line per moment, in QueryPerformanceCounter ticks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "samples.h"

namespace korvi::bench {

struct StampFile {
  std::int64_t frequency = 0;
  std::map<std::string, std::vector<std::int64_t>> ticks;  // per moment, in file order
};

// Throws UsageError naming the file and line of anything unreadable.
StampFile ReadStampFile(const std::string& path);

// For each `from` moment, the time to the first `to` moment at or after it and before the next
// `from`; a `from` with none (the answer to it came after the next one, or never) gives no
// sample, so samples.size() says how many were timed.
std::vector<Nanoseconds> Intervals(const StampFile& file, const std::string& from, const std::string& to);

}  // namespace korvi::bench
