// korvi-sar on the simulated notebook: the scenario comes from the file that
// KORVI_SIM_SCENARIO names, or from the embedded default when it is unset (set but empty is
// refused); KORVI_SIM_TRACE names a file for the run's trace, KORVI_DEBUG_LOG one for the
// debug channel.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include "controller/service.h"
#include "platform/sim/files/own_file.h"
#include "platform/sim/files/shown_input.h"
#include "platform/sim/notebook.h"
#include "platform/sim/scenario/scenario_source.h"

namespace {
namespace sim = korvi::sim;

constexpr int kExitBadInput = 2;

// Whether stderr shows where the console does: one terminal, or one file or pipe for both
// (2>&1). The notebook's lines there must not continue a line the service left open.
bool StderrSharesConsole() {
  const std::optional<sim::FileId> out = sim::StandardOutput();
  const std::optional<sim::FileId> err = sim::StandardError();
  return out && err && sim::SameFile(*out, *err);
}

// What follows the service's end on every way out: its exit in the trace, the notebook
// stopped, the process-wide objects released, the summary on stderr.
void Finish(sim::Notebook& notebook, int exitCode) {
  notebook.RecordExit(exitCode);
  notebook.Stop();
  korvi::controller::ReleaseProcessObjects();
  notebook.StartOwnLine(std::cerr, StderrSharesConsole());
  notebook.WriteSummary(std::cerr);
}

std::string Shown(const std::string& path) { return "\"" + sim::ShownPath(path) + "\""; }

// The files a run reads and writes must stay apart: standard output carries the service's
// messages only, the scenario is input and must survive the run, and the trace and the debug
// log each hold one kind of line. Each path is checked before it is opened for writing, so a
// refused run has truncated or written nothing (a debug log that did not exist may be left
// behind empty when the trace is then refused). A sink such as /dev/null keeps nothing, so
// nothing can be mixed in it.
class RunFiles {
 public:
  explicit RunFiles(const char* scenarioPath) : stdout_(sim::StandardOutput()) {
    if (scenarioPath != nullptr && *scenarioPath != '\0') scenario_ = sim::ExistingFile(scenarioPath);
  }

  // `what` says what the writing would do to the scenario.
  void CheckOutput(const std::string& variable, const std::string& path, const char* what) const {
    const std::optional<sim::FileId> target = sim::ExistingFile(path);
    if (!target || sim::IsDiscardingDevice(*target)) return;
    if (stdout_ && sim::SameFile(*target, *stdout_))
      throw std::runtime_error(variable + ": " + Shown(path) + " is standard output, which carries only the service's messages");
    if (scenario_ && sim::SameFile(*target, *scenario_))
      throw std::runtime_error(variable + ": " + Shown(path) + " is the scenario file, which the " + what);
  }

 private:
  std::optional<sim::FileId> stdout_;
  std::optional<sim::FileId> scenario_;
};

}  // namespace

int main() {
  using namespace korvi;
  std::unique_ptr<sim::Notebook> notebook;
  try {
    const char* scenarioPath = std::getenv("KORVI_SIM_SCENARIO");
    const sim::LoadedScenario scenario = sim::LoadScenario(scenarioPath);
    const RunFiles files(scenarioPath);
    const char* debugPath = std::getenv("KORVI_DEBUG_LOG");
    const bool debugToFile = debugPath != nullptr && *debugPath != '\0';
    const char* tracePath = std::getenv("KORVI_SIM_TRACE");
    const bool traceToFile = tracePath != nullptr && *tracePath != '\0';
    if (debugToFile) files.CheckOutput("KORVI_DEBUG_LOG", debugPath, "debug log would append to");
    if (traceToFile) files.CheckOutput("KORVI_SIM_TRACE", tracePath, "trace would overwrite");

    auto sink = debugToFile ? sim::DebugSink::OpenFile(debugPath) : sim::DebugSink::SystemLog();
    std::unique_ptr<sim::TraceFile> traceFile;
    if (traceToFile) {
      // The debug log exists now even if it did not before, so two spellings of one new path
      // are found as well.
      if (debugToFile) {
        const std::optional<sim::FileId> debug = sim::ExistingFile(debugPath);
        const std::optional<sim::FileId> trace = sim::ExistingFile(tracePath);
        if (debug && trace && !sim::IsDiscardingDevice(*trace) && sim::SameFile(*debug, *trace))
          throw std::runtime_error("KORVI_SIM_TRACE and KORVI_DEBUG_LOG: " + Shown(tracePath) + " and " +
                                   Shown(debugPath) + " are the same file, where the two would mix");
      }
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
  // Called on the service's thread inside its wait, which never returns: the service still
  // holds its event and the objects it works with, as the summary then says.
  notebook->WhenTimelineSpent([&notebook] {
    // Nothing will ever happen on the notebook again but the service's radio checks.
    notebook->StartOwnLine(std::cerr, StderrSharesConsole());
    std::cerr << sim::kTimelineSpentLine;
    Finish(*notebook, sim::kExitTimelineSpent);
    std::fflush(nullptr);
    std::_Exit(sim::kExitTimelineSpent);
  });
  notebook->Start();
  const int exitCode = controller::RunService();
  Finish(*notebook, exitCode);
  return exitCode;
}
