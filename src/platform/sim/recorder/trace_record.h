// One record of a run's trace: something the simulated notebook saw happen, stamped with the
// moment it happened. The trace file and the figures at exit are both made from these.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/sim/recorder/recorder.h"

namespace korvi::sim {

enum class TraceEvent {
  kRun,            // the notebook started; speed, identity
  kTransmission,   // the modem started or stopped transmitting; transmitting, scenarioMs
  kNotification,   // one transmission-state notification reached a handler; transmitting, result
  kWake,           // the service's event wait returned; result (the wait result)
  kFirmwareStart,  // ExecMethod reached the firmware; wlanState
  kFirmwareEnd,    // ExecMethod returned; wlanState, result (its HRESULT)
  kCancel,         // the service cancelled a modem request it gave up waiting for; op
  kRadioOff,       // the cellular side went off; cause
  kRadioOn,        // the cellular side came back on
  kMonitoring,     // the modem took the service's start or stop of monitoring; started
  kStateAtStart,   // what the service got for the state at start; answer (transmitting), result
  kRadioCheck,     // one radio check of the service's; answer (on), result
  kExit,           // the service returned; result (the exit code)
};

struct TraceRecord {
  TraceEvent event = TraceEvent::kRun;
  // Microseconds since the notebook started: simulated time, and the steady clock's own.
  std::int64_t simUs = 0;
  std::int64_t wallUs = 0;

  bool transmitting = false;
  bool started = false;  // monitoring: switched on rather than off
  std::int64_t scenarioMs = 0;  // when the scenario's timeline asked for the edge
  std::int32_t result = 0;
  // InECX of the call's in-parameters, the WLAN state asked for (1 normal, 2 reduced); empty
  // when the call carried none.
  std::optional<std::uint32_t> wlanState = std::nullopt;
  // What a read found (transmitting, or the cellular side on); empty when the read failed.
  std::optional<bool> answer = std::nullopt;
  RadioOffCause cause = RadioOffCause::kStatus;
  double speed = 1.0;
  const char* op = "";  // the call that started the cancelled request
  // The run record's members after its version: the build and the scenario, as JSON
  // ("build":{...},"scenario":{...}); the text belongs to whoever made the record.
  std::string_view identity = {};
};

}  // namespace korvi::sim
