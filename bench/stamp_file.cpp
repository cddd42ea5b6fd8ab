#include "stamp_file.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>

#include "options.h"

namespace korvi::bench {

StampFile ReadStampFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw UsageError(path + ": cannot be read");
  StampFile file;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream words(line);
    std::string moment;
    std::int64_t ticks = 0;
    std::string rest;
    if (!(words >> moment >> ticks) || (words >> rest) || ticks < 0) {
      throw UsageError(path + ":" + std::to_string(number) + ": expected \"MOMENT TICKS\", got \"" + line + "\"");
    }
    if (moment == "dropped") throw UsageError(path + ":" + std::to_string(number) + ": stamps were dropped");
    if (moment == "frequency") {
      if (ticks == 0) throw UsageError(path + ":" + std::to_string(number) + ": frequency 0");
      file.frequency = ticks;
    } else {
      file.ticks[moment].push_back(ticks);
    }
  }
  if (file.frequency == 0) throw UsageError(path + ": no \"frequency\" line");
  return file;
}

std::vector<Nanoseconds> Intervals(const StampFile& file, const std::string& from, const std::string& to) {
  static const std::vector<std::int64_t> none;
  const auto fromIt = file.ticks.find(from);
  const auto toIt = file.ticks.find(to);
  const std::vector<std::int64_t>& starts = fromIt != file.ticks.end() ? fromIt->second : none;
  const std::vector<std::int64_t>& ends = toIt != file.ticks.end() ? toIt->second : none;
  std::vector<Nanoseconds> samples;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::int64_t next = i + 1 < starts.size() ? starts[i + 1] : std::numeric_limits<std::int64_t>::max();
    const auto end = std::lower_bound(ends.begin(), ends.end(), starts[i]);
    if (end == ends.end() || *end >= next) continue;
    const long double seconds = static_cast<long double>(*end - starts[i]) / static_cast<long double>(file.frequency);
    samples.push_back(Nanoseconds(static_cast<std::int64_t>(seconds * 1e9L)));
  }
  return samples;
}

}  // namespace korvi::bench
