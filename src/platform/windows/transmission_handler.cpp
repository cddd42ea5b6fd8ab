#include "platform/windows/transmission_handler.h"

#include <new>
#include <utility>

#include "platform/windows/modem_objects.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

TransmissionHandlerObject::TransmissionHandlerObject(
    std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) noexcept
    : handler_(std::move(handler)) {}

HRESULT TransmissionHandlerObject::Invoke(abi::NO::IMobileBroadbandSarManager* sender,
                                          abi::NO::IMobileBroadbandTransmissionStateChangedEventArgs* args) noexcept {
  try {
    // References of our own, so that both stay alive until the call ends.
    const auto heldSender = WrapSarManager(Retain(sender));
    const auto heldArgs = WrapEventArgs(Retain(args));
    return static_cast<HRESULT>(handler_->Invoke(heldSender, heldArgs));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace korvi::windows
