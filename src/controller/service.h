// The service's entry: start-up order, the monitoring loop and its exits.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "os/os_platform.h"

namespace korvi::cellular {
class ModemObjects;
}

namespace korvi::controller {

// The operations that the entry function calls, so that the loop can be tested against
// stand-ins as well as run against the real cellular and WLAN sides.
struct ServiceOperations {
  std::function<std::uint32_t()> initSar;
  std::function<std::int32_t(os::EventHandle)> txStatusMonitor;
  std::function<bool()> txStatusMonitoringStarted;
  // Asks the modem once for its state now that monitoring runs; a transmitting (or unknown)
  // state wakes the loop as a notification would.
  std::function<void()> readStateAtStart;
  std::function<std::uint32_t()> getRadioState;
  std::function<bool()> isTransmitting;  // reads the byte the handler stored
  std::function<void()> setWlanReduce;
  std::function<void()> setWlanNormal;
  std::function<void()> stopTxStatusMonitor;
  // The handler lets go of the event: once it returns no delivery signals it any more. Called
  // before every close of the event.
  std::function<void()> detachTxEvent;
};

// The real operations, on the process objects that start-up made.
ServiceOperations CellularAndWlanOperations(cellular::ModemObjects& process);

// Exit codes. The radio-off exit ends with kExitNormal; the endings that leave the notebook
// unprotected while it still runs (the wait failure among them) say so to whoever started the
// service; kExitAnotherInstance says that this one had nothing to do, since another instance
// already watches the notebook.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitNotProtecting = 1;
inline constexpr int kExitAnotherInstance = 3;

// The bound of each wait of the loop for a change: at its end the loop checks the radio and
// waits again, so a modem that went away (and sends nothing more) is noticed within it.
inline constexpr std::chrono::milliseconds kTxEventWaitBound{60000};

// The entry function: InitSAR, TxEvent, TxStatusMonitor, then the loop.
int RunEntry(const ServiceOperations& operations);

// The whole run: takes the one-instance lock, obtains the default modem and its device
// information (the process objects, kept until ReleaseProcessObjects), then runs the entry
// function with the real operations on them. Ends with a message on both channels instead of
// a crash when another instance watches, when there is no modem or when memory runs out.
int RunService();

// Releases what lives until the process ends: the event left open on the radio-off path and
// the process objects. Called once the platform's threads have stopped.
void ReleaseProcessObjects() noexcept;

}  // namespace korvi::controller
