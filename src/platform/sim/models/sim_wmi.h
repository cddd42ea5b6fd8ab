// The simulated COM/WMI behind the WLAN seam, with the platform firmware behind it: the class
// QelButtonMethodDWSi in "root\wmi" with one instance and its method ExecINT.
//
// Every call first asks the fault table under its own name (SysAllocString, CoInitialize,
// CoInitializeSecurity, CoCreateInstance, ConnectServer, CoSetProxyBlanket, ExecQuery, Next,
// GetObject, GetMethod, SpawnInstance, Put, Get, ExecMethod); a fault makes it answer that code
// and give no object. Apartments are those of models/apartments.h. Every object handed out is
// a CountedObject. Object names and property names compare without regard to case, as WMI
// compares them. Each ExecMethod call is reported to the recorder when it reaches the firmware
// and when it returns, with the WLAN state it asked for and its result.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/recorder/recorder.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scenario/scenario.h"
#include "platform/sim/scheduler/scheduler.h"
#include "wlan_power/wmi_service.h"

namespace korvi::sim {

// WMI result codes that the simulated service gives.
inline constexpr std::int32_t kWbemSFalse = 1;
inline constexpr std::int32_t kWbemEFailed = static_cast<std::int32_t>(0x80041001);
inline constexpr std::int32_t kWbemENotFound = static_cast<std::int32_t>(0x80041002);
inline constexpr std::int32_t kWbemETypeMismatch = static_cast<std::int32_t>(0x80041005);
inline constexpr std::int32_t kWbemEInvalidParameter = static_cast<std::int32_t>(0x80041008);
inline constexpr std::int32_t kWbemEInvalidNamespace = static_cast<std::int32_t>(0x8004100E);
inline constexpr std::int32_t kWbemEInvalidOperation = static_cast<std::int32_t>(0x80041016);
inline constexpr std::int32_t kWbemEInvalidQuery = static_cast<std::int32_t>(0x80041017);
inline constexpr std::int32_t kWbemEInvalidQueryType = static_cast<std::int32_t>(0x80041018);
inline constexpr std::int32_t kWbemEInvalidMethod = static_cast<std::int32_t>(0x8004102E);
inline constexpr std::int32_t kWbemEInvalidMethodParameters = static_cast<std::int32_t>(0x8004102F);
inline constexpr std::int32_t kWbemEInvalidObjectPath = static_cast<std::int32_t>(0x8004103A);

// The path that Get("__PATH") gives for the firmware's one instance.
inline constexpr const wchar_t* kFirmwareInstancePath =
    L"\\\\SIM\\root\\wmi:QelButtonMethodDWSi.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";

// One ExecINT call that reached the firmware: InEAX, InEBX, InECX, InEDX, InESI, InEDI.
struct FirmwareCall {
  std::uint32_t inputs[6];
};

class SimWmi final : public wlan_power::WmiPlatform {
 public:
  SimWmi(FaultTable& faults, Scheduler& scheduler, FirmwareSetup firmware, Recorder& recorder);
  ~SimWmi() override;
  SimWmi(const SimWmi&) = delete;
  SimWmi& operator=(const SimWmi&) = delete;

  wlan_power::HResult SysAllocString(const wchar_t* text, std::unique_ptr<wlan_power::WmiText>& out) noexcept override;
  wlan_power::HResult CoInitialize() noexcept override;
  void CoUninitialize() noexcept override;
  wlan_power::HResult CoInitializeSecurity() noexcept override;
  wlan_power::HResult CoCreateInstance(std::unique_ptr<wlan_power::WbemLocator>& locator) noexcept override;

  // Every ExecINT call that succeeded, in order. Thread-safe.
  std::vector<FirmwareCall> Calls() const;
  // The WLAN power the firmware was last set to: 0 never set, 1 normal, 2 reduced (InECX of
  // the last call that succeeded). Thread-safe.
  int WlanState() const;
  // COM objects (not texts or values) released on a thread where COM was no longer usable:
  // a CoUninitialize that came before the releases. Thread-safe.
  std::int64_t ReleasesWithoutCom() const;

  struct World;  // the firmware's records, shared with the objects handed out

 private:
  std::shared_ptr<World> world_;
};

// For the fake COM providers of the Wine test bed, which carry texts and values across a real
// COM boundary: a text or value as the simulated service makes it (no fault check, since the
// caller's own SysAllocString was already counted), and what a value holds.
std::unique_ptr<wlan_power::WmiText> MakeSimText(std::wstring_view text);
std::unique_ptr<wlan_power::WmiValue> MakeSimTextValue(std::wstring_view text);
std::optional<std::wstring> SimValueText(const wlan_power::WmiValue& value);
std::optional<std::uint32_t> SimValueNumber(const wlan_power::WmiValue& value);

}  // namespace korvi::sim
