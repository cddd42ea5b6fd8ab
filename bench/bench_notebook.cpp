#include "bench_notebook.h"

#include "benchmarks.h"

#include <stdexcept>
#include <string>

#include "cellular/modem_platform.h"
#include "controller/service.h"
#include "os/os_platform.h"
#include "wlan_power/wmi_service.h"

namespace korvi::bench {

BenchNotebook::BenchNotebook(std::int64_t firmwareMs)
    : scheduler_(sim::Clock::kRealTime),
      // The debug channel costs what a file write costs, and goes nowhere.
      debug_(sim::DebugSink::OpenFile("/dev/null")),
      // The benchmarks time the service, not a trace: nothing is recorded.
      simOs_(faults_, scheduler_, *debug_, sim::Recorder::Nothing()),
      watchedOs_(simOs_),
      // A healthy modem that answers at once and stays on, so the loop never takes its
      // radio-off exit on its own.
      modem_(sim::ModemSetup{}, faults_, scheduler_, sim::Recorder::Nothing()),
      simWmi_(faults_, scheduler_, sim::FirmwareSetup{true, firmwareMs}, sim::Recorder::Nothing()),
      timedWmi_(simWmi_, std::chrono::milliseconds(firmwareMs)) {}

BenchNotebook::~BenchNotebook() {
  if (service_.joinable()) {
    watchedOs_.EndLoopAfter(watchedOs_.Signals());
    service_.join();
  }
  if (!finished_) {
    scheduler_.Stop();
    modem_.Shutdown();
    controller::ReleaseProcessObjects();
  }
}

void BenchNotebook::StartService() {
  os::UsePlatform(watchedOs_);
  cellular::UsePlatform(modem_);
  wlan_power::UsePlatform(timedWmi_);
  scheduler_.Start();
  service_ = std::thread([this] {
    exitCode_ = controller::RunService();
    watchedOs_.ServiceReturned();
  });
  if (!watchedOs_.AwaitWait(1, kPatience) || !modem_.Monitoring()) {
    throw std::runtime_error("the service did not start monitoring");
  }
}

void BenchNotebook::FinishService() {
  watchedOs_.EndLoopAfter(watchedOs_.Signals());
  if (service_.joinable()) service_.join();
  // As the binary ends: the platform's thread first, then the process-wide objects.
  scheduler_.Stop();
  modem_.Shutdown();
  controller::ReleaseProcessObjects();
  finished_ = true;
  // The loop was ended through its wait-failure exit, whose code says that nothing watches.
  if (exitCode_ != controller::kExitNotProtecting)
    throw CheckFailed("the service ended with exit code " + std::to_string(exitCode_));
}

}  // namespace korvi::bench
