#include "cellular/tx_status_monitor.h"

#include <atomic>
#include <new>

#include "cellular/blocking_wait.h"
#include "cellular/cellular_state.h"
#include "controller/messages.h"

namespace korvi::cellular {
namespace {
std::atomic<bool> monitoringStarted{false};
}

bool TxStatusMonitoringStarted() noexcept { return monitoringStarted.load(); }

std::int32_t TxStatusMonitor(os::EventHandle txEvent) {
  monitoringStarted.store(false);
  // The main thread joins the multithreaded apartment and stays in it for the rest of the run.
  const std::int32_t joined = Platform().RoInitialize();
  if (joined < 0) throw PlatformError(joined, L"The thread could not join the multithreaded apartment.");

  std::shared_ptr<ModemConfiguration> configuration;
  try {
    {
      auto request = modem->GetCurrentConfigurationAsync();
      configuration = Wait(*request);
    }
    std::shared_ptr<SarManager> manager = configuration ? configuration->SarManager() : nullptr;

    sarManager = manager;
    txEventForHandler.Attach(txEvent);
    if (!manager) {
      WriteConsoleMessage("\n [Korvi] - TxStatusMonitor() Couldn't get valid SarManager.");
      return kEPointer;
    }

    {
      auto hysteresis = manager->SetTransmissionStateChangedHysteresisAsync(kTransmissionHysteresisTicks);
      Wait(*hysteresis);
    }
    // The registration token is not kept: the handler stays registered for the whole run.
    manager->AddTransmissionStateChanged(std::make_shared<OnTransmissionStateChanged>());
    manager->StartTransmissionStateMonitoring();
    monitoringStarted.store(true);
    WriteConsoleMessage("\n [Korvi] sarManager.StartTransmissionStateMonitoring().");
  } catch (const PlatformError& error) {
    ReportCaughtError(L"0x%08x - %ls\n", error);
  }
  return 0;
}

std::int32_t OnTransmissionStateChanged::Invoke(const std::shared_ptr<SarManager>& sender,
                                                const std::shared_ptr<TransmissionStateChangedEventArgs>& args) noexcept {
  // Holding our own references keeps both alive until the call ends.
  const std::shared_ptr<SarManager> heldSender = sender;
  const std::shared_ptr<TransmissionStateChangedEventArgs> heldArgs = args;
  try {
    if (!heldArgs) return kEPointer;
    const bool transmitting = heldArgs->IsTransmitting();
    isTransmitting.store(transmitting ? 1 : 0, std::memory_order_release);
    txEventForHandler.SetEvent();
    WriteConsoleMessage("\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).");
    return 0;
  } catch (const PlatformError& error) {
    return error.code();
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  } catch (...) {
    return static_cast<std::int32_t>(0x80004005);  // E_FAIL
  }
}

}  // namespace korvi::cellular
