// The one simulated notebook behind every fake provider in the process: the same modem,
// firmware, fault table and scheduler as the Linux build's, built on first use from the
// scenario file that KORVI_SIM_SCENARIO names (or the embedded default).
//
// It is made on first use rather than when the DLL is loaded, because the scheduler starts a
// thread, which must not happen under the loader lock. It is never destroyed: at process
// exit the other threads are already gone when DLLs are told to detach, and joining the
// platform thread then would hang. Stop() runs instead, from the exit hook, while the process
// is still whole.
#pragma once

#include <iosfwd>

#include "platform/sim/notebook.h"

namespace korvi::fake {

// Whose kernel objects the service's event, waits and sleeps are (KORVI_WINE_KERNEL):
// simulated (the default): the import-table hooks route them to the notebook, whose virtual
// time then moves only while the service is parked, so every run is the same; real: nothing
// is hooked, the service uses Wine's own events, waits and Sleep, and the notebook runs on the
// real-time clock, its notifications coming on its own thread as they fall due. Throws
// sim::ScenarioError for any other value.
enum class Kernel { kSimulated, kReal };
Kernel KernelOfTheService();

class ProviderNotebook {
 public:
  // The process's notebook, made and started on the first call. A scenario that cannot be
  // read or is not valid ends the process with exit code 2 and a one-line message on stderr,
  // as the Linux build does.
  static ProviderNotebook& Get();
  // The notebook if it was made already, else null; never makes one.
  static ProviderNotebook* IfMade() noexcept;

  sim::SimModemPlatform& modem() noexcept { return notebook_.modem(); }
  sim::SimWmi& wmi() noexcept { return notebook_.wmi(); }
  sim::FaultTable& faults() noexcept { return notebook_.faults(); }
  // The kernel objects and sleeps of the service's main thread, on simulated time.
  sim::SimOs& os() noexcept { return notebook_.os(); }

  // Traces the service's exit code, stops the platform thread and drops every reference the
  // platform holds. Idempotent.
  void Stop(int exitCode);
  // What the notebook saw, in the Linux build's words: firmware calls and the WLAN power they
  // left, the notifications, the platform objects (simulated and fake) still held, and the
  // figures made from the trace.
  void WriteSummary(std::ostream& out) const { notebook_.WriteSummary(out); }

 private:
  explicit ProviderNotebook(const sim::LoadedScenario& scenario);
  static ProviderNotebook* Make();

  sim::Notebook notebook_;
  bool stopped_ = false;
};

}  // namespace korvi::fake
