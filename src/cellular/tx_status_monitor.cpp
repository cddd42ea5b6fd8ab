#include "cellular/tx_status_monitor.h"

#include <new>

#include "cellular/blocking_wait.h"
#include "cellular/cellular_state.h"
#include "os/console_texts.h"
#include "os/messages.h"

namespace korvi::cellular {
namespace {

// What one delivery says: the modem's state, or why it could not be read.
struct Reading {
  bool read = false;
  bool transmitting = true;
  std::int32_t failure = 0;  // the code that goes back to the platform when not read
};

// A state that cannot be read counts as transmitting: the loop then asks for reduced WLAN
// power, the safe side while nobody knows whether the modem transmits.
Reading ReadIsTransmitting(TransmissionStateChangedEventArgs* args) noexcept {
  if (args == nullptr) return {false, true, kEPointer};
  try {
    return {true, args->IsTransmitting(), 0};
  } catch (const PlatformError& error) {
    return {false, true, error.code()};
  } catch (const std::bad_alloc&) {
    return {false, true, kEOutOfMemory};
  } catch (...) {
    return {false, true, kEFail};
  }
}

}  // namespace

bool TxStatusMonitoringStarted(const ModemObjects& process) noexcept { return process.monitoringStarted; }

std::int32_t TxStatusMonitor(ModemObjects& process, os::EventHandle txEvent) {
  process.monitoringStarted = false;
  // The main thread joins the multithreaded apartment and stays in it for the rest of the run.
  const std::int32_t joined = Platform().RoInitialize();
  if (joined < 0) throw PlatformError(joined, L"The thread could not join the multithreaded apartment.");

  std::shared_ptr<ModemConfiguration> configuration;
  try {
    {
      auto request = process.modem->GetCurrentConfigurationAsync();
      configuration = Wait(*request, kAsyncOperationTimeout, L"The configuration request");
    }
    std::shared_ptr<SarManager> manager = configuration ? configuration->SarManager() : nullptr;

    process.sarManager = manager;
    process.handlerShared->txEventForHandler.Attach(txEvent);
    if (!manager) {
      WriteConsoleMessage(console_texts::kNoSarManager);
      return kEPointer;
    }

    {
      auto hysteresis = manager->SetTransmissionStateChangedHysteresisAsync(kTransmissionHysteresisTicks);
      Wait(*hysteresis, kAsyncOperationTimeout, L"The hysteresis request");
    }
    // Kept so that stopping monitoring also removes the handler.
    process.transmissionSubscription = TransmissionSubscription(
        manager, manager->AddTransmissionStateChanged(std::make_shared<OnTransmissionStateChanged>(process.handlerShared)));
    manager->StartTransmissionStateMonitoring();
    process.monitoringStarted = true;
    WriteConsoleMessage(console_texts::kMonitoringStarted);
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
  const Reading reading = ReadIsTransmitting(heldArgs.get());
  shared_->isTransmitting.store(reading.transmitting ? 1 : 0, std::memory_order_release);
  shared_->deliveriesStored.fetch_add(1);
  shared_->txEventForHandler.SetEvent();
  // Stored and signalled: the delivery is handled, whatever the read gave. The platform hears
  // success, since an event source drops a handler that answers with some failure codes (those
  // of a dead proxy among them), and then nothing would wake the loop again.
  try {
    if (!reading.read) {
      WriteDebugMessage(L"[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x%08x): "
                        L"taking the modem as transmitting",
                        static_cast<unsigned>(reading.failure));
    }
    // The line follows the signal, on the unreadable path too, since that path signals as well.
    WriteConsoleMessage(console_texts::kNotification);
  } catch (...) {
    // A message that could not be written changes nothing of what was handled.
  }
  return 0;
}

}  // namespace korvi::cellular
