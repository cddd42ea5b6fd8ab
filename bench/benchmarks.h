// The benchmarks, one per command of korvi-bench. Each writes its rows to the report. A
// figure never fails a run; a check that finds the service at fault throws CheckFailed.
#pragma once

#include <stdexcept>

#include "options.h"
#include "report.h"

namespace korvi::bench {

class CheckFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// In-process, on the real service logic; the service's console goes to /dev/null.
void RunReaction(const Options& options, Report& report);
void RunStorm(const Options& options, Report& report);
void RunIdle(const Options& options, Report& report);

// On the korvi-sar binary, as a child process.
void RunStartup(const Options& options, Report& report);
void RunDefaultScenario(const Options& options, Report& report);

// From stamp files that the Windows build's runs under Wine wrote.
void RunWineReaction(const Options& options, Report& report);

}  // namespace korvi::bench
