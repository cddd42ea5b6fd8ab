// The default scenario run of the korvi-sar binary to its end: its peak resident set, as
// wait4 reports it for the child.
#include <sys/wait.h>

#include <string>

#include "benchmarks.h"
#include "child_process.h"

namespace korvi::bench {

void RunDefaultScenario(const Options& options, Report& report) {
  const std::string binary = options.Path("binary");
  const auto started = std::chrono::steady_clock::now();
  ChildProcess child(binary, {"KORVI_SIM_SCENARIO", "KORVI_DEBUG_LOG=/dev/null"}, ChildProcess::Output::kDiscard);
  const ChildProcess::Ended ended = child.Wait();
  const auto took = std::chrono::steady_clock::now() - started;
  if (!WIFEXITED(ended.status) || WEXITSTATUS(ended.status) != 0) {
    throw CheckFailed("the default scenario run of " + binary + " ended with " + DescribeStatus(ended.status));
  }
  char wall[32];
  std::snprintf(wall, sizeof wall, "%.2f s", std::chrono::duration<double>(took).count());
  report.Row("Footprint", "peak RSS, default scenario run of korvi-sar", FormatKibibytes(ended.usage.ru_maxrss));
  report.Row("Footprint", "wall time of that run (virtual time: its work alone)", wall);
}

}  // namespace korvi::bench
