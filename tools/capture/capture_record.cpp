#include "capture_record.h"

#include <cinttypes>
#include <cstdio>

#include "os/build_id.h"

namespace korvi::capture {
namespace {

std::string State(const std::optional<int>& state) { return state ? std::to_string(*state) : "null"; }

// As the simulated notebook writes result codes: "0x" and eight upper-case hex digits.
std::string Result(const std::optional<std::uint32_t>& result) {
  if (!result) return "null";
  char text[16];
  std::snprintf(text, sizeof text, "\"0x%08" PRIX32 "\"", *result);
  return text;
}

}  // namespace

std::string TraceLine(const Record& record) {
  std::string line = "{\"t_sim_us\":" + std::to_string(record.us) + ",\"event\":";
  switch (record.kind) {
    case RecordKind::kRun:
      // Which build made the capture; a real notebook has no scenario to name.
      return line + "\"run\",\"source\":\"capture\",\"version\":2,\"build\":" + build::Json() + "}";
    case RecordKind::kNotify:
      return line + "\"notify\"}";
    case RecordKind::kFirmwareStart:
      return line + "\"firmware_start\",\"wlan_state\":" + State(record.wlanState) + "}";
    case RecordKind::kFirmwareEnd:
      return line + "\"firmware_end\",\"wlan_state\":" + State(record.wlanState) + ",\"result\":" +
             Result(record.result) + "}";
    case RecordKind::kRadioOff:
      return line + (record.radioReadFailed ? "\"radio_off\",\"cause\":\"read_failed\"}" : "\"radio_off\"}");
    case RecordKind::kExit:
      return line + "\"exit\",\"code\":" + std::to_string(record.exitCode) + "}";
  }
  return line + "\"unknown\"}";
}

}  // namespace korvi::capture
