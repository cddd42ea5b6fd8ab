#include "platform/sim/notebook.h"

#include <ostream>

#include "cellular/modem_platform.h"
#include "os/os_platform.h"
#include "platform/sim/models/object_count.h"
#include "wlan_power/wmi_service.h"

namespace korvi::sim {

Notebook::Notebook(const Scenario& scenario, std::unique_ptr<DebugSink> debug, std::unique_ptr<TraceFile> traceFile,
                   Clock clock)
    : faults_(scenario.faults),
      scheduler_(clock, scenario.speed),
      trace_(scheduler_, std::move(traceFile)),
      speed_(scenario.speed),
      debug_(std::move(debug)),
      os_(faults_, scheduler_, *debug_, trace_),
      modem_(scenario.modem, faults_, scheduler_, trace_),
      wmi_(faults_, scheduler_, scenario.firmware, trace_),
      timeline_(scenario.timeline) {
  os_.SetAnotherInstance(scenario.anotherInstance);
}

Notebook::~Notebook() { Stop(); }

void Notebook::Start() {
  os::UsePlatform(os_);
  cellular::UsePlatform(modem_);
  wlan_power::UsePlatform(wmi_);
  trace_.Run(speed_);
  modem_.Schedule(timeline_);
  scheduler_.Start();
}

void Notebook::RecordExit(int exitCode) { trace_.Exit(exitCode); }

void Notebook::Stop() {
  scheduler_.Stop();
  modem_.Shutdown();
}

void Notebook::WriteSummary(std::ostream& out) const {
  const auto calls = wmi_.Calls();
  int normal = 0;
  int reduced = 0;
  for (const auto& call : calls) {
    if (call.inputs[2] == 1) ++normal;
    if (call.inputs[2] == 2) ++reduced;
  }
  const int state = wmi_.WlanState();
  const char* power = state == 1 ? "normal" : state == 2 ? "reduced" : "untouched";
  const auto counts = modem_.counts();
  out << "korvi-sim: firmware calls: " << calls.size() << " (normal " << normal << ", reduced " << reduced
      << "), WLAN power at exit: " << power << "\n";
  out << "korvi-sim: notifications delivered: " << counts.notifications << ", handler failures: "
      << counts.handlerFailures << "\n";
  out << "korvi-sim: platform objects still held at exit: " << CountedObject::Live()
      << ", events still open: " << scheduler_.LiveEvents() << "\n";
  // Before the trace's lines, so that a run still ends with its figures.
  debug_->ReportFailure(out);
  trace_.WriteSummary(out);
}

}  // namespace korvi::sim
