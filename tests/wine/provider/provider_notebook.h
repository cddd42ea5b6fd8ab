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

#include "platform/sim/debug_sink.h"
#include "platform/sim/fault_table.h"
#include "platform/sim/scenario.h"
#include "platform/sim/scheduler.h"
#include "platform/sim/sim_modem.h"
#include "platform/sim/sim_os.h"
#include "platform/sim/sim_wmi.h"

namespace korvi::fake {

class ProviderNotebook {
 public:
  // The process's notebook, made and started on the first call. A scenario that cannot be
  // read or is not valid ends the process with exit code 2 and a one-line message on stderr,
  // as the Linux build does.
  static ProviderNotebook& Get();
  // The notebook if it was made already, else null; never makes one.
  static ProviderNotebook* IfMade() noexcept;

  sim::SimModemPlatform& modem() noexcept { return modem_; }
  sim::SimWmi& wmi() noexcept { return wmi_; }
  sim::FaultTable& faults() noexcept { return faults_; }
  // The kernel objects and sleeps of the service's main thread, on simulated time.
  sim::SimOs& os() noexcept { return os_; }

  // Stops the platform thread and drops every reference the platform holds. Idempotent.
  void Stop();
  // What the notebook saw, in the Linux build's words: firmware calls and the WLAN power they
  // left, the notifications, and the platform objects (simulated and fake) still held.
  void WriteSummary(std::ostream& out) const;

 private:
  explicit ProviderNotebook(const sim::Scenario& scenario);
  static ProviderNotebook* Make();

  sim::FaultTable faults_;
  sim::Scheduler scheduler_;
  std::unique_ptr<sim::DebugSink> debug_;
  sim::SimOs os_;
  sim::SimModemPlatform modem_;
  sim::SimWmi wmi_;
  bool stopped_ = false;
};

}  // namespace korvi::fake
