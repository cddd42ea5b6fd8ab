// The simulated modem's state, shared by the platform (SimModemPlatform) and by every object
// it hands out (modem_objects.cpp), and the makers of those objects.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cellular/modem_platform.h"
#include "platform/sim/models/error_text.h"
#include "platform/sim/models/sim_modem.h"

namespace korvi::sim {

inline constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);
inline constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);
inline constexpr std::int32_t kCanceled = static_cast<std::int32_t>(0x800704C7);  // ERROR_CANCELLED

// The service's own test of the cellular side: on while the SIM identifier is present or the
// device is ready.
inline bool CellularOn(std::int32_t deviceStatus, const std::u16string& simIccId) {
  constexpr std::int32_t kDeviceReady = 1;
  return !simIccId.empty() || deviceStatus == kDeviceReady;
}

// A modem call fails with the platform's error and the system's text for the code.
[[noreturn]] inline void FailModemCall(std::int32_t code) { throw cellular::PlatformError(code, ErrorText(code)); }

struct SimModemPlatform::World : std::enable_shared_from_this<SimModemPlatform::World> {
  World(const std::optional<ModemSetup>& setup, FaultTable& faultTable, Scheduler& clock, Recorder& reportTo)
      : present(setup.has_value()),
        modem(setup.value_or(ModemSetup{})),
        faults(faultTable),
        scheduler(clock),
        recorder(reportTo) {
    deviceStatus = modem.deviceStatus;
    simIccId = modem.simIccId;
  }

  // The code a call fails with: the scenario's fault, or the modem gone; empty when it goes on.
  std::optional<std::int32_t> Failure(std::string_view op, bool modemCall = true) {
    if (auto code = faults.Check(op)) return code;
    std::lock_guard lock(mutex);
    if (modemCall && removed) return kDeviceNotConnected;
    return std::nullopt;
  }
  void Check(std::string_view op, bool modemCall = true) {
    if (auto code = Failure(op, modemCall)) FailModemCall(*code);
  }

  // False when nothing was delivered (monitoring not running, or the modem gone).
  bool Deliver(bool transmitting);
  void Transmission(std::int64_t atMs, bool transmitting);
  // Reports the cellular side going off or on, if it did since the last look.
  void ReportRadioChange();

  const bool present;
  const ModemSetup modem;
  FaultTable& faults;
  Scheduler& scheduler;
  Recorder& recorder;

  mutable std::mutex mutex;
  std::int32_t deviceStatus;
  std::u16string simIccId;
  bool removed = false;
  bool reportedOff = false;  // the radio state last reported to the recorder
  bool monitoring = false;
  bool transmitting = false;  // what the modem does
  bool reported = false;      // what it last reported
  std::uint64_t stopGeneration = 0;
  std::int64_t hysteresisMs = 5000;
  // The registered handlers with their tokens, in the order of registration.
  std::vector<std::pair<std::int64_t, std::shared_ptr<cellular::TransmissionStateChangedHandler>>> handlers;
  std::int64_t lastToken = 0;
  std::weak_ptr<cellular::SarManager> sender;
  Counts counts;
};

// The objects the modem hands out; each is a CountedObject.
std::shared_ptr<cellular::Modem> MakeSimModem(std::shared_ptr<SimModemPlatform::World> world);
std::shared_ptr<cellular::TransmissionStateChangedEventArgs> MakeSimEventArgs(
    std::shared_ptr<SimModemPlatform::World> world, bool transmitting);
std::shared_ptr<cellular::Buffer> MakeSimBuffer(std::vector<std::uint8_t> bytes);
// The bytes of a buffer that the modem made; null for any other buffer.
const std::vector<std::uint8_t>* SimBufferBytes(const cellular::Buffer& buffer);

}  // namespace korvi::sim
