// The records of a capture's trace: the simulated notebook's JSON-lines format, with only what
// a capture can know. `t_sim_us` is kept so that one reader takes both kinds of trace; here it
// is microseconds of the monotonic clock since the child was started.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvi::capture {

enum class RecordKind { kRun, kNotify, kFirmwareStart, kFirmwareEnd, kRadioOff, kExit };

// The WLAN states as the firmware's InECX carries them.
inline constexpr int kWlanNormal = 1;
inline constexpr int kWlanReduce = 2;

struct Record {
  explicit Record(RecordKind kind_, std::int64_t us_ = 0, std::optional<int> wlanState_ = std::nullopt)
      : kind(kind_), us(us_), wlanState(wlanState_) {}

  RecordKind kind;
  std::int64_t us = 0;
  std::optional<int> wlanState;          // firmware records; none: not known to have reached the firmware
  std::optional<std::uint32_t> result;   // firmware_end: ExecMethod's result; none: never reached
  std::uint32_t exitCode = 0;            // exit
  // radio_off: the debug channel showed the radio read failing just before (the service takes
  // a read it cannot make for off, so the radio may well have been on). False also when the
  // debug channel never said.
  bool radioReadFailed = false;
};

// One line of the trace, without its line break.
std::string TraceLine(const Record& record);

}  // namespace korvi::capture
