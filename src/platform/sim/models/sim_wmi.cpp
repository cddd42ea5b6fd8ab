#include "platform/sim/models/sim_wmi.h"

#include <mutex>

#include "platform/sim/models/apartments.h"
#include "platform/sim/models/wmi_world.h"

namespace korvi::sim {

using wlan_power::HResult;
using wlan_power::WbemLocator;
using wlan_power::WmiText;

SimWmi::SimWmi(FaultTable& faults, Scheduler& scheduler, FirmwareSetup firmware, Recorder& recorder)
    : world_(std::make_shared<World>(faults, scheduler, firmware, recorder)) {}

SimWmi::~SimWmi() = default;

HResult SimWmi::SysAllocString(const wchar_t* text, std::unique_ptr<WmiText>& out) noexcept {
  out.reset();
  return Guarded([&]() -> HResult {
    if (auto code = world_->faults.Check("SysAllocString")) return *code;
    if (text == nullptr) return wlan_power::kEOutOfMemory;  // SysAllocString(NULL) gives no text
    out = MakeSimText(text);
    return 0;
  });
}

HResult SimWmi::CoInitialize() noexcept {
  return Guarded([&]() -> HResult {
    if (auto code = world_->faults.Check("CoInitialize")) return *code;
    return Apartments::EnterSingleThreaded();
  });
}

void SimWmi::CoUninitialize() noexcept { Apartments::Leave(); }

HResult SimWmi::CoInitializeSecurity() noexcept {
  return Guarded([&]() -> HResult {
    if (auto code = world_->faults.Check("CoInitializeSecurity")) return *code;
    return Apartments::InitializeSecurity();
  });
}

HResult SimWmi::CoCreateInstance(std::unique_ptr<WbemLocator>& locator) noexcept {
  locator.reset();
  return Guarded([&]() -> HResult {
    if (auto code = world_->faults.Check("CoCreateInstance")) return *code;
    if (!Apartments::ComUsable()) return kCoENotInitialized;
    locator = MakeSimLocator(world_);
    return 0;
  });
}

std::vector<FirmwareCall> SimWmi::Calls() const {
  std::lock_guard lock(world_->mutex);
  return world_->calls;
}

int SimWmi::WlanState() const {
  std::lock_guard lock(world_->mutex);
  return world_->wlanState;
}

std::int64_t SimWmi::ReleasesWithoutCom() const {
  std::lock_guard lock(world_->mutex);
  return world_->releasesWithoutCom;
}

}  // namespace korvi::sim
