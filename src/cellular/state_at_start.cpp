#include "cellular/state_at_start.h"

#include <cstdint>

#include "cellular/blocking_wait.h"
#include "cellular/cellular_state.h"
#include "os/messages.h"

namespace korvi::cellular {

void ReadTransmissionStateAtStart(ModemObjects& process) {
  if (!process.sarManager) return;
  HandlerShared& shared = *process.handlerShared;
  const std::uint64_t deliveriesBefore = shared.deliveriesStored.load();
  bool transmitting = true;
  try {
    auto request = process.sarManager->GetIsTransmittingAsync();
    transmitting = Wait(*request, kAsyncOperationTimeout, L"The request for the state at start");
    if (transmitting) {
      WriteDebugMessage(L"[MS_SAR] Korvi::TxStatusMonitor the modem transmits at start");
    } else {
      WriteDebugMessage(L"[MS_SAR] Korvi::TxStatusMonitor the modem does not transmit at start");
    }
  } catch (const PlatformError& error) {
    WriteDebugMessage(L"[MS_SAR] Korvi::TxStatusMonitor could not read the state at start (0x%08x): "
                      L"taking the modem as transmitting",
                      static_cast<unsigned>(error.code()));
  }
  if (!transmitting) return;
  // A delivery that came while the request was on its way has stored a state at least as new
  // and signalled already.
  if (shared.deliveriesStored.load() != deliveriesBefore) return;
  shared.isTransmitting.store(1, std::memory_order_release);
  shared.txEventForHandler.SetEvent();
}

}  // namespace korvi::cellular
