#include "platform/sim/notebook.h"

#include <cstdio>
#include <ostream>

#include "cellular/modem_platform.h"
#include "os/build_id.h"
#include "os/os_platform.h"
#include "platform/sim/models/object_count.h"
#include "wlan_power/wmi_service.h"

namespace korvi::sim {
namespace {

// The run record's members after its version: which build ran which scenario.
std::string Identity(const ScenarioSource& source) {
  return "\"build\":" + build::Json() + ",\"scenario\":" + ScenarioJson(source);
}

}  // namespace

Notebook::Notebook(const LoadedScenario& loaded, std::unique_ptr<DebugSink> debug, std::unique_ptr<TraceFile> traceFile,
                   Clock clock)
    : faults_(loaded.scenario.faults),
      scheduler_(clock, loaded.scenario.speed),
      trace_(scheduler_, std::move(traceFile), Identity(loaded.source)),
      speed_(loaded.scenario.speed),
      debug_(std::move(debug)),
      os_(faults_, scheduler_, *debug_, trace_),
      modem_(loaded.scenario.modem, faults_, scheduler_, trace_),
      wmi_(faults_, scheduler_, loaded.scenario.firmware, trace_),
      timeline_(loaded.scenario.timeline),
      source_(loaded.source) {
  os_.SetAnotherInstance(loaded.scenario.anotherInstance);
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

void Notebook::StartOwnLine(std::ostream& out, bool sharesConsole) {
  std::fflush(stdout);
  if (os_.TakeOpenConsoleLine() && sharesConsole) out << '\n';
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
  // What ran comes first: a summary that is passed on alone still says what it is about.
  out << "korvi-sim: scenario: " << ScenarioText(source_) << "; build " << build::Version() << ", commit "
      << build::Commit() << "\n";
  // The calls the firmware carried out, which set the power; the trace's count below adds
  // those that reached it and failed.
  out << "korvi-sim: firmware calls completed: " << calls.size() << " (normal " << normal << ", reduced " << reduced
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
