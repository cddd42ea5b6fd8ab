// The notebook the in-process benchmarks run the real service on: the simulated notebook's
// scheduler, kernel objects, console and COM/WMI firmware (as the Linux build has them), the
// benchmarks' own modem, and the two seams passed through WatchedOs and TimedWmi. The service
// itself (controller::RunService: start-up, the handler, the loop, the WLAN requests) runs
// unchanged on a thread of its own, which plays the service's main thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "bench_modem.h"
#include "platform/sim/files/debug_sink.h"
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
  // return. Answers the service's exit code.
  int FinishService();

  BenchModemPlatform& modem() noexcept { return modem_; }
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
  BenchModemPlatform modem_;
  sim::SimWmi simWmi_;
  TimedWmi timedWmi_;
  std::thread service_;
  int exitCode_ = -1;
  bool finished_ = false;
};

}  // namespace korvi::bench
