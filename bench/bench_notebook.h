// The notebook the in-process benchmarks run the real service on: the simulated notebook's
// scheduler, kernel objects, console, modem and COM/WMI firmware (as the Linux build has
// them), with the OS and WMI seams passed through WatchedOs and TimedWmi. The modem answers
// every start-up request at once; a benchmark delivers each notification itself, at the
// moment it chooses and on its own thread, as a real modem's platform thread raises them
// (SimModemPlatform::DeliverNow), where a scenario's timeline would deliver them only while
// the service's main thread is parked. The service
// itself (controller::RunService: start-up, the handler, the loop, the WLAN requests) runs
// unchanged on a thread of its own, which plays the service's main thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/sim/files/debug_sink.h"
#include "platform/sim/models/sim_modem.h"
#include "platform/sim/models/sim_os.h"
#include "platform/sim/models/sim_wmi.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scheduler/scheduler.h"
#include "timed_wmi.h"
#include "watched_os.h"

namespace korvi::bench {

// How long a benchmark waits for the service to take its next step before it calls the
// service stuck; far above any step's time, even under a sanitizer on a loaded machine.
inline constexpr std::chrono::seconds kPatience{30};

class BenchNotebook {
 public:
  // firmwareMs: how long each firmware method call takes.
  explicit BenchNotebook(std::int64_t firmwareMs);
  // Ends the loop (if still running), joins the service's thread and releases every object.
  ~BenchNotebook();
  BenchNotebook(const BenchNotebook&) = delete;
  BenchNotebook& operator=(const BenchNotebook&) = delete;

  // Installs the seams, starts the service, and returns once the loop waits for the first
  // time (monitoring has started). Throws std::runtime_error when the service ends instead,
  // or has not got there within kPatience.
  void StartService();

  // Ends the loop once it has applied everything delivered, and waits for the service to
  // return. Throws CheckFailed when the service ended other than through that ending.
  void FinishService();

  sim::SimModemPlatform& modem() noexcept { return modem_; }
  WatchedOs& os() noexcept { return watchedOs_; }
  TimedWmi& wmi() noexcept { return timedWmi_; }
  // The firmware's own record of the calls that reached it.
  const sim::SimWmi& firmware() const noexcept { return simWmi_; }

 private:
  sim::FaultTable faults_;
  sim::Scheduler scheduler_;
  std::unique_ptr<sim::DebugSink> debug_;
  sim::SimOs simOs_;
  WatchedOs watchedOs_;
  sim::SimModemPlatform modem_;
  sim::SimWmi simWmi_;
  TimedWmi timedWmi_;
  std::thread service_;
  int exitCode_ = -1;
  bool finished_ = false;
};

}  // namespace korvi::bench
