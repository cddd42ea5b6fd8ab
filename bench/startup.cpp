// Start-up: from starting the korvi-sar binary to monitoring started, seen as the console
// line the service writes once StartTransmissionStateMonitoring has succeeded, read from its
// standard output pipe on the steady clock. The child runs the embedded default scenario
// and is killed (by its pid) once the line has come.
#include <string>
#include <vector>

#include "benchmarks.h"
#include "child_process.h"
#include "samples.h"

namespace korvi::bench {
namespace {

constexpr const char* kMonitoringStarted = " [Korvi] sarManager.StartTransmissionStateMonitoring().";

// The embedded default scenario, and the debug channel into /dev/null rather than the
// system log.
const std::vector<std::string> kEnvironment = {"KORVI_SIM_SCENARIO", "KORVI_DEBUG_LOG=/dev/null"};

Nanoseconds TimeOneStart(const std::string& binary) {
  const auto started = std::chrono::steady_clock::now();
  ChildProcess child(binary, kEnvironment, ChildProcess::Output::kPipe);
  std::string seen;
  for (;;) {
    const std::string more = child.ReadSome();
    const auto now = std::chrono::steady_clock::now();
    if (more.empty()) {
      throw CheckFailed(binary + " ended (" + DescribeStatus(child.Wait().status) +
                        ") without reporting that monitoring started");
    }
    seen += more;
    if (seen.find(kMonitoringStarted) != std::string::npos) return std::chrono::duration_cast<Nanoseconds>(now - started);
  }
}

}  // namespace

void RunStartup(const Options& options, Report& report) {
  const std::string binary = options.Path("binary");
  const std::int64_t runs = options.Count("runs", 20, 1);
  std::vector<Nanoseconds> samples;
  for (std::int64_t i = 0; i < runs; ++i) samples.push_back(TimeOneStart(binary));
  const std::string name = "Start-up";
  report.Row(name, "runs of korvi-sar", FormatCount(runs));
  report.Row(name, "process start → monitoring started, median", FormatDuration(Median(samples)));
  report.Row(name, "fastest / slowest", FormatDuration(Percentile(samples, 0.0)) + " / " + FormatDuration(Percentile(samples, 100.0)));
}

}  // namespace korvi::bench
