#include "platform/windows/transmission_handler.h"

#include <utility>

#include "platform/windows/modem_objects.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

TransmissionHandlerObject::TransmissionHandlerObject(
    std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) noexcept
    : handler_(std::move(handler)) {}

HRESULT TransmissionHandlerObject::Invoke(abi::NO::IMobileBroadbandSarManager* sender,
                                          abi::NO::IMobileBroadbandTransmissionStateChangedEventArgs* args) noexcept {
  // References of our own, so that both stay alive until the call ends.
  std::shared_ptr<cellular::SarManager> heldSender;
  std::shared_ptr<cellular::TransmissionStateChangedEventArgs> heldArgs;
  try {
    heldSender = WrapSarManager(Retain(sender));
    heldArgs = WrapEventArgs(Retain(args));
  } catch (...) {
    // Memory ran out (or anything else went wrong) before the delivery could be wrapped.
    // Dropping it would leave the WLAN at whatever power the last state set while the modem
    // may now transmit; handed on with neither object, it is a state nobody can read, which
    // the seam's handler takes as transmitting.
    heldSender.reset();
    heldArgs.reset();
  }
  // The seam's handler has said on the debug channel whatever went wrong. The delivery is
  // handled either way, and an event source drops a delegate that answers certain failures
  // (RPC_E_DISCONNECTED and the like), after which no change of state would reach us.
  handler_->Invoke(heldSender, heldArgs);
  return S_OK;
}

}  // namespace korvi::windows
