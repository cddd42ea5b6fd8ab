// The simulated COM/WMI's state, shared by the platform (SimWmi) and by every object it
// hands out (wmi_objects.cpp): the firmware's records. And what both sides use to turn a
// failure into a result code.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/sim/models/sim_wmi.h"

namespace korvi::sim {

struct SimWmi::World {
  World(FaultTable& faultTable, Scheduler& clock, FirmwareSetup setup, Recorder& reportTo)
      : faults(faultTable), scheduler(clock), recorder(reportTo), firmware(setup) {}

  FaultTable& faults;
  Scheduler& scheduler;
  Recorder& recorder;
  const FirmwareSetup firmware;

  mutable std::mutex mutex;
  std::vector<FirmwareCall> calls;
  int wlanState = 0;
  std::int64_t releasesWithoutCom = 0;
};

// Runs one operation; a failed allocation inside it becomes E_OUTOFMEMORY.
template <class Operation>
wlan_power::HResult Guarded(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return wlan_power::kEOutOfMemory;
  } catch (...) {
    return kWbemEFailed;
  }
}

// The locator that CoCreateInstance hands out; every other object comes from it.
std::unique_ptr<wlan_power::WbemLocator> MakeSimLocator(std::shared_ptr<SimWmi::World> world);

}  // namespace korvi::sim
