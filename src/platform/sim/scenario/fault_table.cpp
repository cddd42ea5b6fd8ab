#include "platform/sim/scenario/fault_table.h"

#include <algorithm>
#include <iterator>

namespace korvi::sim {
namespace {
constexpr std::string_view kKnownOps[] = {
    // Windows Runtime, mobile broadband and CryptographicBuffer
    "RoInitialize", "GetDefault", "DeviceInformation", "GetDeviceService", "OpenCommandSession",
    "SendSetCommandAsync", "GetResults", "StatusCode", "ResponseData", "CreateFromByteArray",
    "CopyToByteArray", "GetCurrentConfigurationAsync", "SarManager",
    "SetTransmissionStateChangedHysteresisAsync", "TransmissionStateChanged",
    "StartTransmissionStateMonitoring", "StopTransmissionStateMonitoring", "IsTransmitting",
    "GetIsTransmittingAsync", "RemoveTransmissionStateChanged",
    "NetworkDeviceStatus", "SimIccId",
    // COM and WMI
    "SysAllocString", "CoInitialize", "CoInitializeSecurity", "CoCreateInstance", "ConnectServer",
    "CoSetProxyBlanket", "ExecQuery", "Next", "GetObject", "GetMethod", "SpawnInstance", "Put", "Get",
    "ExecMethod",
    // kernel objects
    "CreateEvent", "WaitForTxEvent"};
}  // namespace

bool FaultTable::IsKnownOp(std::string_view op) noexcept {
  return std::find(std::begin(kKnownOps), std::end(kKnownOps), op) != std::end(kKnownOps);
}

std::string FaultTable::KnownOps() {
  std::string names;
  for (const std::string_view op : kKnownOps) (names += names.empty() ? "" : ", ") += op;
  return names;
}

std::int64_t FaultTable::Calls(std::string_view op) const {
  std::lock_guard lock(mutex_);
  auto counter = calls_.find(op);
  return counter == calls_.end() ? 0 : counter->second;
}

std::optional<std::int32_t> FaultTable::Check(std::string_view op) {
  std::lock_guard lock(mutex_);
  auto counter = calls_.find(op);
  if (counter == calls_.end()) counter = calls_.emplace(std::string(op), 0).first;
  const std::int64_t call = ++counter->second;
  for (const Fault& fault : faults_) {
    if (fault.op == op && (!fault.call || *fault.call == call)) return fault.hresult;
  }
  return std::nullopt;
}

}  // namespace korvi::sim
