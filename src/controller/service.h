// The service's entry: start-up order, the monitoring loop and its exits.
#pragma once

#include <cstdint>
#include <functional>

#include "os/os_platform.h"

namespace korvi::controller {

// The operations that the entry function calls, so that the loop can be tested against
// stand-ins as well as run against the real cellular and WLAN sides.
struct ServiceOperations {
  std::function<std::uint32_t()> initSar;
  std::function<std::int32_t(os::EventHandle)> txStatusMonitor;
  std::function<bool()> txStatusMonitoringStarted;
  std::function<std::uint32_t()> getRadioState;
  std::function<bool()> isTransmitting;  // reads the byte the handler stored
  std::function<void()> setWlanReduce;
  std::function<void()> setWlanNormal;
  std::function<void()> stopTxStatusMonitor;
  // The handler lets go of the event: once it returns no delivery signals it any more. Called
  // before every close of the event.
  std::function<void()> detachTxEvent;
};

ServiceOperations CellularAndWlanOperations();

// Exit codes. The loop's own two exits (radio off, wait failure) end with kExitNormal; the
// endings that leave the notebook unprotected while it still runs say so to whoever started
// the service.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitNotProtecting = 1;

// The entry function: InitSAR, TxEvent, TxStatusMonitor, then the loop.
int RunEntry(const ServiceOperations& operations);

// The whole run: obtains the default modem and its device information, then runs the entry
// function with the real operations. Ends with a message on both channels instead of a
// crash when there is no modem or when memory runs out.
int RunService();

// Releases what lives until the process ends: the event left open on the radio-off path and
// the process-wide modem objects. Called once the platform's threads have stopped.
void ReleaseProcessObjects() noexcept;

}  // namespace korvi::controller
