#include "platform/sim/recorder/trace_file.h"

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <stdexcept>

#include "platform/sim/files/own_file.h"
#include "platform/sim/files/shown_input.h"

namespace korvi::sim {
namespace {

const char* EventName(TraceEvent event) {
  switch (event) {
    case TraceEvent::kRun: return "run";
    case TraceEvent::kTransmission: return "tx";
    case TraceEvent::kNotification: return "notify";
    case TraceEvent::kWake: return "wake";
    case TraceEvent::kFirmwareStart: return "firmware_start";
    case TraceEvent::kFirmwareEnd: return "firmware_end";
    case TraceEvent::kCancel: return "cancel";
    case TraceEvent::kRadioOff: return "radio_off";
    case TraceEvent::kRadioOn: return "radio_on";
    case TraceEvent::kMonitoring: return "monitoring";
    case TraceEvent::kStateAtStart: return "state_at_start";
    case TraceEvent::kRadioCheck: return "radio_check";
    case TraceEvent::kExit: return "exit";
  }
  return "unknown";
}

// Result codes as the scenario files and the console write them: eight hex digits.
std::string Code(std::int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "\"0x%08" PRIX32 "\"", static_cast<std::uint32_t>(code));
  return text;
}

std::string Answer(const std::optional<bool>& answer) { return answer ? (*answer ? "true" : "false") : "null"; }

std::string WlanState(const std::optional<std::uint32_t>& state) {
  return state ? std::to_string(*state) : "null";
}

}  // namespace

std::string TraceLine(const TraceRecord& record) {
  std::string line = "{\"t_sim_us\":" + std::to_string(record.simUs) + ",\"t_wall_us\":" +
                     std::to_string(record.wallUs) + ",\"event\":\"" + EventName(record.event) + "\"";
  switch (record.event) {
    case TraceEvent::kRun: {
      char speed[32];
      std::snprintf(speed, sizeof speed, "%.17g", record.speed);  // the scenario's value, exactly
      line += ",\"speed\":" + std::string(speed) + ",\"version\":2";
      if (!record.identity.empty()) line += "," + std::string(record.identity);
      break;
    }
    case TraceEvent::kTransmission:
      line += std::string(",\"transmitting\":") + (record.transmitting ? "true" : "false") +
              ",\"scenario_ms\":" + std::to_string(record.scenarioMs);
      break;
    case TraceEvent::kNotification:
      line += std::string(",\"transmitting\":") + (record.transmitting ? "true" : "false") +
              ",\"result\":" + Code(record.result);
      break;
    case TraceEvent::kWake:
      line += ",\"result\":" + Code(record.result);
      break;
    case TraceEvent::kFirmwareStart:
      line += ",\"wlan_state\":" + WlanState(record.wlanState);
      break;
    case TraceEvent::kFirmwareEnd:
      line += ",\"wlan_state\":" + WlanState(record.wlanState) + ",\"result\":" + Code(record.result);
      break;
    case TraceEvent::kRadioOff:
      line += std::string(",\"cause\":\"") + (record.cause == RadioOffCause::kRemoved ? "removed" : "status") + "\"";
      break;
    case TraceEvent::kCancel:
      line += std::string(",\"op\":\"") + record.op + "\"";  // one of the modem's call names
      break;
    case TraceEvent::kRadioOn:
      break;
    case TraceEvent::kMonitoring:
      line += std::string(",\"started\":") + (record.started ? "true" : "false");
      break;
    case TraceEvent::kStateAtStart:
      line += ",\"transmitting\":" + Answer(record.answer) + ",\"result\":" + Code(record.result);
      break;
    case TraceEvent::kRadioCheck:
      line += ",\"on\":" + Answer(record.answer) + ",\"result\":" + Code(record.result);
      break;
    case TraceEvent::kExit:
      line += ",\"code\":" + std::to_string(record.result);
      break;
  }
  return line + "}";
}

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path) {
  try {
    OwnFile opened = OwnFile::Open(path, OwnFile::Use::kWrite);
    // Emptied only now that it is known to be a regular file (a sink has nothing to empty).
    errno = 0;
    if (IsRegular(opened.id()) && ::ftruncate(opened.fd(), 0) != 0)
      throw OpenRefused(errno != 0 ? std::strerror(errno) : "unknown error");
    errno = 0;
    std::unique_ptr<std::FILE, Closer> file(::fdopen(opened.fd(), "wb"));
    if (!file) throw OpenRefused(errno != 0 ? std::strerror(errno) : "unknown error");
    opened.Release();  // the stream closes it now
    return std::unique_ptr<TraceFile>(new TraceFile(std::move(file), path));
  } catch (const OpenRefused& refused) {
    throw std::runtime_error("KORVI_SIM_TRACE: cannot open \"" + ShownPath(path) + "\": " + refused.what());
  }
}

void TraceFile::WriteLine(const std::string& line) noexcept {
  if (failure_.failed()) return;  // the trace is already incomplete; keep the first reason
  errno = 0;
  // Flushed per record: a run that crashes still leaves every record before the crash.
  const bool written = std::fwrite(line.data(), 1, line.size(), file_.get()) == line.size() &&
                       std::fputc('\n', file_.get()) != EOF && std::fflush(file_.get()) == 0;
  if (!written) failure_.Record(errno);
}

}  // namespace korvi::sim
