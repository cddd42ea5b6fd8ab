// Reaction under Wine, from stamps taken on Wine's real kernel (bench/run runs both sides):
// the test bed's delivery of each notification to the service's handler, to the request's
// first step that the fakes see (its CoCreateInstance of the WMI locator) and to its
// ExecMethod; beside it the bare SetEvent to WaitForSingleObject wake between two threads.
#include <string>

#include "benchmarks.h"
#include "stamp_file.h"

namespace korvi::bench {

void RunWineReaction(const Options& options, Report& report) {
  const StampFile service = ReadStampFile(options.Path("stamps"));
  const StampFile wake = ReadStampFile(options.Path("wake"));
  const auto delivered = service.ticks.count("delivery") ? service.ticks.at("delivery").size() : 0;
  const std::vector<Nanoseconds> reaction = Intervals(service, "delivery", "call-start");
  const std::vector<Nanoseconds> firmware = Intervals(service, "delivery", "exec-method");
  const std::vector<Nanoseconds> floor = Intervals(wake, "set", "woke");
  if (reaction.empty() || floor.empty()) throw CheckFailed("no notification or no wake-up was timed");

  const Nanoseconds reactionMedian = Median(reaction), reactionP99 = Percentile(reaction, 99);
  const Nanoseconds floorMedian = Median(floor), floorP99 = Percentile(floor, 99);
  auto ratio = [](Nanoseconds a, Nanoseconds b) {
    return FormatRatio(static_cast<double>(a.count()), static_cast<double>(b.count()));
  };
  const std::string name = "Reaction under Wine";
  report.Row(name, "notifications timed (of delivered)",
             FormatCount(static_cast<std::int64_t>(reaction.size())) + " of " +
                 FormatCount(static_cast<std::int64_t>(delivered)));
  report.Row(name, "notification → the request's CoCreateInstance reaching the fake WMI, median / p99",
             FormatDuration(reactionMedian) + " / " + FormatDuration(reactionP99));
  report.Row(name, "notification → ExecMethod reaching the fake firmware, median / p99",
             FormatDuration(Median(firmware)) + " / " + FormatDuration(Percentile(firmware, 99)));
  report.Row(name, "bare SetEvent → WaitForSingleObject wake (" + FormatCount(static_cast<std::int64_t>(floor.size())) +
                       "), median / p99",
             FormatDuration(floorMedian) + " / " + FormatDuration(floorP99));
  report.Row(name, "reaction ÷ bare wake, median / p99",
             ratio(reactionMedian, floorMedian) + " / " + ratio(reactionP99, floorP99));
}

}  // namespace korvi::bench
