// The TypedEventHandler that we add to the SAR manager's TransmissionStateChanged event: it
// hands each delivery to the seam's handler and gives the platform its result code. Nothing
// escapes Invoke as an exception; a failure to wrap the platform's objects becomes
// E_OUTOFMEMORY.
#pragma once

#include <memory>

#include "cellular/modem_platform.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/support/com_object.h"

namespace korvi::windows {

class TransmissionHandlerObject final
    : public ComObject<TransmissionHandlerObject, abi::TransmissionStateChangedHandler> {
 public:
  explicit TransmissionHandlerObject(std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) noexcept;

  HRESULT STDMETHODCALLTYPE Invoke(abi::NO::IMobileBroadbandSarManager* sender,
                                   abi::NO::IMobileBroadbandTransmissionStateChangedEventArgs* args) noexcept override;

 private:
  const std::shared_ptr<cellular::TransmissionStateChangedHandler> handler_;
};

}  // namespace korvi::windows
