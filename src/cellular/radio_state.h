// The radio-state test that keeps the monitoring loop going, and the stop of monitoring.
#pragma once

#include <cstdint>

#include "cellular/cellular_state.h"

namespace korvi::cellular {

// 1 while the cellular side counts as on: a SIM identifier is present or the device reports
// DeviceReady. 0 otherwise, and when either read fails.
[[nodiscard]] std::uint32_t GetRadioState(const ModemObjects& process);

// Asks the SAR manager, if there is one, to stop transmission-state monitoring. Failures are
// caught; the handler stays registered.
void StopTxStatusMonitor(ModemObjects& process);

}  // namespace korvi::cellular
