// The transmission-state monitor: ties the modem's transmission-state notifications to the
// monitoring loop's event.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "cellular/cellular_state.h"
#include "cellular/modem_platform.h"
#include "os/os_platform.h"

namespace korvi::cellular {

// Five seconds, in ticks of 100 ns.
inline constexpr std::int64_t kTransmissionHysteresisTicks = 50'000'000;

// Obtains the SAR manager, sets the hysteresis, subscribes OnTransmissionStateChanged and
// starts monitoring. Returns 0 (also when a platform failure was caught on the way, a request
// that has not completed within kAsyncOperationTimeout among them), or
// kEPointer when the configuration has no SAR manager. Joining the multithreaded apartment
// is the one failure it does not catch: it throws that PlatformError to the caller.
[[nodiscard]] std::int32_t TxStatusMonitor(ModemObjects& process, os::EventHandle txEvent);

// Whether the last TxStatusMonitor call started monitoring. A zero result alone does not say:
// a caught failure also answers 0, and then nothing will ever signal the event.
bool TxStatusMonitoringStarted(const ModemObjects& process) noexcept;

// The handler handed to the platform: stores IsTransmitting, then signals the event, then
// writes its console message, and answers 0. A state that cannot be read (no arguments
// included) is stored as transmitting, so the loop asks for reduced WLAN power, and said on
// the debug channel. Never lets an exception out.
class OnTransmissionStateChanged final : public TransmissionStateChangedHandler {
 public:
  // `shared` is never null.
  explicit OnTransmissionStateChanged(std::shared_ptr<HandlerShared> shared) noexcept : shared_(std::move(shared)) {}
  std::int32_t Invoke(const std::shared_ptr<SarManager>& sender,
                      const std::shared_ptr<TransmissionStateChangedEventArgs>& args) noexcept override;

 private:
  const std::shared_ptr<HandlerShared> shared_;
};

}  // namespace korvi::cellular
