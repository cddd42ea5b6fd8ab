// The TypedEventHandler that we add to the SAR manager's TransmissionStateChanged event: it
// hands each delivery to the seam's handler and answers S_OK, whatever that handler made of
// it, so the event source never drops it. Nothing escapes Invoke as an exception; when the
// platform's objects cannot be wrapped, the delivery is handed on with neither (the seam's
// handler then takes the modem as transmitting).
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
