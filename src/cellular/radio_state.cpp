#include "cellular/radio_state.h"

#include <string>

#include "cellular/cellular_state.h"
#include "os/text_encoding.h"

namespace korvi::cellular {

std::uint32_t GetRadioState(const ModemObjects& process) {
  try {
    // Both are read at every call, in this order, even when the status alone would decide.
    const std::int32_t status = process.deviceInformation->NetworkDeviceStatus();
    const std::string simIccId = os::Utf8FromUtf16(process.deviceInformation->SimIccId());
    return (!simIccId.empty() || status == kDeviceReady) ? 1 : 0;
  } catch (const PlatformError& error) {
    ReportCaughtError(L"0x%08x - %ls", error);
    return 0;
  }
}

void StopTxStatusMonitor(ModemObjects& process) {
  if (!process.sarManager) return;
  try {
    process.sarManager->StopTransmissionStateMonitoring();
  } catch (const PlatformError& error) {
    ReportCaughtError(L"0x%08x - %ls\n", error);
  }
  // Whether or not the stop was taken, no delivery may reach the handler afterwards.
  process.transmissionSubscription.Revoke();
}

}  // namespace korvi::cellular
