// A whole simulated notebook built from a scenario: modem, firmware, kernel objects and the
// platform thread, installed behind the service's three seams.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>

#include "platform/sim/files/debug_sink.h"
#include "platform/sim/models/sim_modem.h"
#include "platform/sim/models/sim_os.h"
#include "platform/sim/models/sim_wmi.h"
#include "platform/sim/recorder/trace_file.h"
#include "platform/sim/recorder/trace_log.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scenario/scenario.h"
#include "platform/sim/scenario/scenario_source.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {

// A run that a host ends because its timeline is spent (see WhenTimelineSpent) ends with this
// exit code, after this line on stderr.
inline constexpr int kExitTimelineSpent = 4;
inline constexpr const char* kTimelineSpentLine =
    "korvi-sim: the timeline is spent while the service still watches: the run ends here (exit 4)\n";

class Notebook {
 public:
  // traceFile empty: no trace file; the records still make the figures at exit. The virtual
  // clock is the notebook's own; the real-time one serves a host whose service waits on real
  // kernel objects (the Windows build's own events and sleeps), which the scheduler cannot see.
  // The scenario's source is named first in the trace's run record and on stderr.
  Notebook(const LoadedScenario& loaded, std::unique_ptr<DebugSink> debug,
           std::unique_ptr<TraceFile> traceFile = nullptr, Clock clock = Clock::kVirtual);
  ~Notebook();
  Notebook(const Notebook&) = delete;
  Notebook& operator=(const Notebook&) = delete;

  // Paces the run for a person watching: simulated time then takes 1/speed as long in real
  // time. Changes no output. Call before Start.
  void PaceInRealTime() noexcept { scheduler_.PaceInRealTime(); }
  // Installs the platforms and starts simulated time and the timeline.
  void Start();
  // Has `handler` called when the service waits with nothing left on the timeline (see
  // SimOs::SetTimelineSpentHandler). Call before Start.
  void WhenTimelineSpent(std::function<void()> handler) { os_.SetTimelineSpentHandler(std::move(handler)); }
  // Traces the end of the service with its exit code; called as soon as the service returns.
  void RecordExit(int exitCode);
  // Stops the platform thread and drops every reference the platform holds.
  void Stop();

  // Before the host's own lines on `out` once the service has run (the summary, the line that
  // says the timeline is spent): the console's bytes go out first, and where `out` shows
  // where the console does (one terminal, or one file for both), a line the service left
  // open is ended, so that the host's line starts a line of its own.
  void StartOwnLine(std::ostream& out, bool sharesConsole);

  // What the notebook saw, for stderr: the scenario and the build first, then the firmware
  // calls and the WLAN power they left, the notifications, the platform objects still held,
  // and the figures made from the trace.
  void WriteSummary(std::ostream& out) const;

  // The parts, for a host that serves them to the service itself (the Windows test bed's fake
  // providers) rather than through the seams.
  FaultTable& faults() noexcept { return faults_; }
  SimOs& os() noexcept { return os_; }
  SimModemPlatform& modem() noexcept { return modem_; }
  SimWmi& wmi() noexcept { return wmi_; }

 private:
  FaultTable faults_;
  Scheduler scheduler_;
  TraceLog trace_;
  double speed_;
  std::unique_ptr<DebugSink> debug_;
  SimOs os_;
  SimModemPlatform modem_;
  SimWmi wmi_;
  std::vector<TimelineItem> timeline_;
  ScenarioSource source_;
};

}  // namespace korvi::sim
