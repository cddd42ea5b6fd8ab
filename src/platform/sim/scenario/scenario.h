// A simulated notebook as a scenario file describes it. Every key is optional; the defaults
// are a healthy notebook whose modem never transmits.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/sim/scenario/fault_table.h"

namespace korvi::sim {

// The 32-byte reply whose words are 1, 0, 1, 1, 24, 8, 0, 1.
std::vector<std::uint8_t> DefaultSarReply();

struct ModemSetup {
  std::int32_t deviceStatus = 1;     // NetworkDeviceStatus at start (1 = DeviceReady)
  std::u16string simIccId;           // SimIccId at start
  bool commandSession = true;        // false: OpenCommandSession gives no session
  std::uint32_t sarStatusCode = 0;   // StatusCode of the set-SAR-configuration command
  std::vector<std::uint8_t> sarReply = DefaultSarReply();  // ResponseData
  bool sarManager = true;            // false: the configuration has no SAR manager
  // How long the modem takes to answer the set command, the configuration request and the
  // hysteresis request, in simulated ms; empty: never.
  std::optional<std::int64_t> commandMs = 0;
  std::optional<std::int64_t> configurationMs = 0;
  std::optional<std::int64_t> hysteresisMs = 0;
  // How long the modem takes to answer the request for its transmission state.
  std::optional<std::int64_t> isTransmittingMs = 0;
};

struct FirmwareSetup {
  bool instance = true;       // false: the query yields no instance (Next gives WBEM_S_FALSE)
  std::int64_t execMs = 0;    // how long ExecMethod takes, in simulated ms
};

struct TimelineItem {
  std::int64_t atMs = 0;
  std::optional<bool> transmitting;       // the modem starts or stops transmitting
  std::optional<bool> notify;             // one raw notification with this IsTransmitting
  std::optional<std::int32_t> deviceStatus;
  std::optional<std::u16string> simIccId;
  bool modemRemoved = false;              // every later modem call fails, no more notifications
};

struct Scenario {
  double speed = 1.0;
  std::optional<ModemSetup> modem = ModemSetup{};  // empty: no mobile-broadband modem
  FirmwareSetup firmware;
  std::vector<Fault> faults;
  std::vector<TimelineItem> timeline;  // sorted by atMs, stable
  // Another process holds the notebook's one-instance lock from the start.
  bool anotherInstance = false;
};

// A scenario that is not valid: what() is one line naming the source, the key and the fault,
// for example "s.json: modem.device_status: expected an integer, got \"ready\"".
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// sourceName names the text in error messages (the file's path, or "embedded default"); it
// is shown as every path is, escaped and cut when long.
Scenario ParseScenario(const std::string& jsonText, const std::string& sourceName);

}  // namespace korvi::sim
