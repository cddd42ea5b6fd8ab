// The process-wide state of the cellular side: the default modem and its device information
// (obtained at process start-up, before the entry function), the SAR manager, and the two
// items that the transmission-state handler shares with the monitoring loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "cellular/handler_event.h"
#include "cellular/modem_platform.h"

namespace korvi::cellular {

inline std::shared_ptr<Modem> modem;
inline std::shared_ptr<DeviceInformation> deviceInformation;
inline std::shared_ptr<SarManager> sarManager;

// 1 while the modem transmits, as last delivered; written by the handler before it signals
// TxEvent (release), read by the loop after its wait returns (acquire).
inline std::atomic<std::uint8_t> isTransmitting{0};
// The handler's copy of the loop's event: attached before the handler is registered, detached
// before the event is closed.
inline HandlerEvent txEventForHandler;

// What start-up found.
struct ModemLookup {
  bool found = false;
  std::optional<PlatformError> error;  // the lookup raised a platform error
};

// Obtains `modem` and then `deviceInformation`. Writes nothing; never throws a platform error.
ModemLookup ObtainDefaultModem();

// Releases the process-wide objects at process exit: deviceInformation, then modem, then
// sarManager.
void ReleaseProcessObjects() noexcept;

// Renders a caught platform error as the fixed 260-character text ("0x%08x - %ls" and its
// variants) and writes it to the debug channel, where a failure in the field can be read.
void ReportCaughtError(const wchar_t* format, const PlatformError& error);

}  // namespace korvi::cellular
