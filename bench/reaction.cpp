// Reaction: from a notification entering the service's transmission-state handler to the
// firmware method call starting (and on to its ExecMethod reaching the firmware), for a loop
// that has been waiting a while. Beside it, taken in
// turn with it so that both see the same machine, the floor: waking a blocked thread through
// the platform's auto-reset event, and through a bare std::condition_variable.
#include <string>
#include <thread>
#include <vector>

#include "bench_notebook.h"
#include "benchmarks.h"
#include "samples.h"
#include "wake_probe.h"

namespace korvi::bench {
namespace {
// Long enough for a waiter to be asleep in the kernel rather than on its way into the wait.
constexpr std::chrono::microseconds kSettle{1000};
}  // namespace

void RunReaction(const Options& options, Report& report) {
  const std::int64_t changes = options.Count("changes", 1000, 1);

  BenchNotebook notebook(0);
  notebook.StartService();
  EventWakeProbe eventWake;
  ConditionVariableWakeProbe conditionWake;

  std::vector<Nanoseconds> reaction, firmware, event, condition;
  reaction.reserve(static_cast<std::size_t>(changes));
  firmware.reserve(static_cast<std::size_t>(changes));
  event.reserve(static_cast<std::size_t>(changes));
  condition.reserve(static_cast<std::size_t>(changes));

  for (std::int64_t i = 0; i < changes; ++i) {
    event.push_back(eventWake.Sample(kSettle));
    condition.push_back(conditionWake.Sample(kSettle));

    // The loop has begun its wait for this change; let it fall asleep, then change the state.
    if (!notebook.os().AwaitWait(i + 1, kPatience)) {
      throw CheckFailed("the loop did not wait again after change " + std::to_string(i));
    }
    std::this_thread::sleep_for(kSettle);
    const auto entered = std::chrono::steady_clock::now();
    if (!notebook.modem().DeliverNow(i % 2 == 0)) {
      throw CheckFailed("monitoring stopped while the service should monitor");
    }
    const auto started = notebook.wmi().Await(TimedWmi::Moment::kCallStart, i + 1, kPatience);
    const auto reached = notebook.wmi().Await(TimedWmi::Moment::kExecMethod, i + 1, kPatience);
    if (!started || !reached) throw CheckFailed("change " + std::to_string(i + 1) + " made no firmware call");
    reaction.push_back(std::chrono::duration_cast<Nanoseconds>(*started - entered));
    firmware.push_back(std::chrono::duration_cast<Nanoseconds>(*reached - entered));
  }
  notebook.FinishService();
  if (notebook.firmware().Calls().size() != static_cast<std::size_t>(changes)) {
    throw CheckFailed(std::to_string(changes) + " changes made " + std::to_string(notebook.firmware().Calls().size()) +
                      " firmware calls");
  }

  const Nanoseconds reactionMedian = Median(reaction), reactionP99 = Percentile(reaction, 99);
  const Nanoseconds eventMedian = Median(event), eventP99 = Percentile(event, 99);
  const Nanoseconds conditionMedian = Median(condition), conditionP99 = Percentile(condition, 99);
  auto ratio = [](Nanoseconds a, Nanoseconds b) {
    return FormatRatio(static_cast<double>(a.count()), static_cast<double>(b.count()));
  };
  const std::string name = "Reaction";
  report.Row(name, "transmission-state changes timed", FormatCount(changes));
  report.Row(name, "notification → firmware call start, median / p99",
             FormatDuration(reactionMedian) + " / " + FormatDuration(reactionP99));
  report.Row(name, "notification → ExecMethod reaching the firmware, median / p99",
             FormatDuration(Median(firmware)) + " / " + FormatDuration(Percentile(firmware, 99)));
  report.Row(name, "auto-reset event wake (the platform's), median / p99",
             FormatDuration(eventMedian) + " / " + FormatDuration(eventP99));
  report.Row(name, "std::condition_variable wake, median / p99",
             FormatDuration(conditionMedian) + " / " + FormatDuration(conditionP99));
  report.Row(name, "reaction ÷ event wake, median / p99", ratio(reactionMedian, eventMedian) + " / " + ratio(reactionP99, eventP99));
  report.Row(name, "reaction ÷ condition_variable wake, median / p99",
             ratio(reactionMedian, conditionMedian) + " / " + ratio(reactionP99, conditionP99));
}

}  // namespace korvi::bench
