// The process-wide state of the cellular side, held in one place: the default modem and its
// device information (obtained at process start-up, before the entry function), the SAR
// manager, and the items that the transmission-state handler shares with the monitoring loop.
// Only start-up makes the holder, once it has found a modem, and every operation that uses
// these objects takes it: none can run before they exist.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "cellular/handler_event.h"
#include "cellular/modem_platform.h"
#include "os/wide_format.h"

namespace korvi::cellular {

// What the transmission-state handler shares with the loop. The handler holds a reference of
// its own, so a delivery still on its way on a platform thread when the process objects are
// released finds these alive.
struct HandlerShared {
  // 1 while the modem transmits, as last delivered; written by the handler before it signals
  // TxEvent (release), read by the loop after its wait returns (acquire).
  std::atomic<std::uint8_t> isTransmitting{0};
  // The handler's copy of the loop's event: attached before the handler is registered,
  // detached before the event is closed.
  HandlerEvent txEventForHandler;
  // Deliveries the handler has stored so far: the state read at start gives way to one that
  // came while the read was on its way, which is at least as new.
  std::atomic<std::uint64_t> deliveriesStored{0};
};

// The handler's registration with the SAR manager, revoked when monitoring stops (and at the
// latest when the process objects are released), so that no delivery reaches the handler after.
class TransmissionSubscription {
 public:
  TransmissionSubscription() = default;
  TransmissionSubscription(std::shared_ptr<SarManager> manager, std::int64_t token) noexcept
      : manager_(std::move(manager)), token_(token) {}
  ~TransmissionSubscription() { Revoke(); }
  TransmissionSubscription(const TransmissionSubscription&) = delete;
  TransmissionSubscription& operator=(const TransmissionSubscription&) = delete;
  // Revokes what this held, then takes the other's registration.
  TransmissionSubscription& operator=(TransmissionSubscription&& other) noexcept;

  // Removes the handler; a failure is said on the debug channel. Nothing once revoked.
  void Revoke() noexcept;

 private:
  std::shared_ptr<SarManager> manager_;
  std::int64_t token_ = 0;
};

class ModemObjects;

// What start-up found: the process objects, or none (no modem, or one without device
// information, or a lookup that raised a platform error).
struct ModemLookup {
  std::unique_ptr<ModemObjects> objects;
  std::optional<PlatformError> error;  // the lookup raised a platform error
};

// Obtains `modem` and then `deviceInformation`. Writes nothing; never throws a platform error.
ModemLookup ObtainDefaultModem();

class ModemObjects {
 public:
  // Revokes the subscription, then releases deviceInformation, modem and sarManager, in this
  // order (the members below are declared in the reverse of it).
  ~ModemObjects() { transmissionSubscription.Revoke(); }
  ModemObjects(const ModemObjects&) = delete;
  ModemObjects& operator=(const ModemObjects&) = delete;

  // Empty until TxStatusMonitor fills it.
  std::shared_ptr<SarManager> sarManager;
  // Never null, never replaced.
  const std::shared_ptr<Modem> modem;
  const std::shared_ptr<DeviceInformation> deviceInformation;
  // Never null.
  const std::shared_ptr<HandlerShared> handlerShared = std::make_shared<HandlerShared>();
  TransmissionSubscription transmissionSubscription;
  // Whether the last TxStatusMonitor call started monitoring.
  bool monitoringStarted = false;

 private:
  friend ModemLookup ObtainDefaultModem();
  ModemObjects(std::shared_ptr<Modem> found, std::shared_ptr<DeviceInformation> information) noexcept
      : modem(std::move(found)), deviceInformation(std::move(information)) {}
};

// Renders a caught platform error as the fixed 260-character text (its code and message, in
// the form each operation gives: "0x%08x - %ls" and its variants) and writes it to the debug
// channel, where a failure in the field can be read.
void ReportCaughtError(os::WideFormat<unsigned, const wchar_t*> form, const PlatformError& error);

}  // namespace korvi::cellular
