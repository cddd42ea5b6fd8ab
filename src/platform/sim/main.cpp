// korvi-sar on the simulated notebook: the scenario comes from the file that
// KORVI_SIM_SCENARIO names, or from the embedded default; KORVI_SIM_TRACE names a file for
// the run's trace.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "controller/service.h"
#include "default_scenario.h"
#include "platform/sim/notebook.h"
#include "platform/sim/scenario_file.h"

namespace {
constexpr int kExitBadInput = 2;

// Standard output carries the service's own messages and nothing else, so a trace path that
// names the same file (/dev/stdout, or the file stdout is redirected to) is refused. The
// null device takes anything without harm.
bool IsStandardOutput(const std::string& path) {
  struct stat out {};
  struct stat target {};
  struct stat null {};
  if (::fstat(STDOUT_FILENO, &out) != 0 || ::stat(path.c_str(), &target) != 0) return false;
  const bool same = out.st_dev == target.st_dev && out.st_ino == target.st_ino;
  const bool isNull = ::stat("/dev/null", &null) == 0 && null.st_dev == target.st_dev && null.st_ino == target.st_ino;
  return same && !isNull;
}
}  // namespace

int main() {
  using namespace korvi;
  std::unique_ptr<sim::Notebook> notebook;
  try {
    const char* scenarioPath = std::getenv("KORVI_SIM_SCENARIO");
    const sim::Scenario scenario = scenarioPath != nullptr && *scenarioPath != '\0'
                                       ? sim::ParseScenario(sim::ReadScenarioFile(scenarioPath), scenarioPath)
                                       : sim::ParseScenario(sim::kDefaultScenario, "embedded default scenario");
    const char* debugPath = std::getenv("KORVI_DEBUG_LOG");
    auto sink = debugPath != nullptr && *debugPath != '\0' ? sim::DebugSink::OpenFile(debugPath)
                                                           : sim::DebugSink::SystemLog();
    const char* tracePath = std::getenv("KORVI_SIM_TRACE");
    std::unique_ptr<sim::TraceFile> traceFile;
    if (tracePath != nullptr && *tracePath != '\0') {
      if (IsStandardOutput(tracePath))
        throw std::runtime_error("KORVI_SIM_TRACE: \"" + std::string(tracePath) +
                                 "\" is standard output, which carries only the service's messages");
      traceFile = sim::TraceFile::Open(tracePath);
    }
    notebook = std::make_unique<sim::Notebook>(scenario, std::move(sink), std::move(traceFile));
  } catch (const std::exception& error) {
    std::cerr << "korvi-sar: " << error.what() << "\n";
    return kExitBadInput;
  }

  // Simulated time is virtual: a run takes no longer than its work. A person watching at a
  // terminal sees it at the scenario's speed instead; the output is the same either way.
  if (::isatty(STDOUT_FILENO) == 1) notebook->PaceInRealTime();
  notebook->Start();
  const int exitCode = controller::RunService();
  notebook->RecordExit(exitCode);
  notebook->Stop();
  controller::ReleaseProcessObjects();
  notebook->WriteSummary(std::cerr);
  return exitCode;
}
