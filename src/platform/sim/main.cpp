// korvi-sar on the simulated notebook: the scenario comes from the file that
// KORVI_SIM_SCENARIO names, or from the embedded default; KORVI_SIM_TRACE names a file for
// the run's trace.
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "controller/service.h"
#include "default_scenario.h"
#include "platform/sim/notebook.h"
#include "platform/sim/scenario_file.h"

namespace {
constexpr int kExitBadInput = 2;
}

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
    auto traceFile = tracePath != nullptr && *tracePath != '\0' ? sim::TraceFile::Open(tracePath) : nullptr;
    notebook = std::make_unique<sim::Notebook>(scenario, std::move(sink), std::move(traceFile));
  } catch (const std::exception& error) {
    std::cerr << "korvi-sar: " << error.what() << "\n";
    return kExitBadInput;
  }

  notebook->Start();
  const int exitCode = controller::RunService();
  notebook->RecordExit(exitCode);
  notebook->Stop();
  controller::ReleaseProcessObjects();
  notebook->WriteSummary(std::cerr);
  return exitCode;
}
