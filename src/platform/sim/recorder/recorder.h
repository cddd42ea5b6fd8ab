// What the simulated notebook's models report as it happens: one call per thing that happens
// on the notebook. The models know nothing of what is done with it; the trace file and the
// run's figures hang off the recorder the notebook passes them (TraceLog).
//
// Every call is noexcept and returns at once: it is made from the platform thread and the
// service's main thread, sometimes under a model's own lock, so a recorder must take no lock
// but a leaf one and call nothing back.
#pragma once

#include <cstdint>
#include <optional>

namespace korvi::sim {

// Why the cellular side counts as off.
enum class RadioOffCause {
  kStatus,   // no SIM identifier and the device not ready
  kRemoved,  // the modem is gone
};

class Recorder {
 public:
  virtual ~Recorder() = default;

  // The notebook started, at this speed.
  virtual void Run(double speed) noexcept = 0;
  // The modem started or stopped transmitting, when the scenario's timeline asked at scenarioMs.
  virtual void Transmission(bool transmitting, std::int64_t scenarioMs) noexcept = 0;
  // One transmission-state notification reached a handler, which answered handlerResult.
  virtual void Notification(bool transmitting, std::int32_t handlerResult) noexcept = 0;
  // The service's event wait returned waitResult.
  virtual void Wake(std::uint32_t waitResult) noexcept = 0;
  // ExecMethod reached the firmware, asking for wlanState (empty: the call carried none).
  virtual void FirmwareStart(std::optional<std::uint32_t> wlanState) noexcept = 0;
  // ExecMethod returned result.
  virtual void FirmwareEnd(std::optional<std::uint32_t> wlanState, std::int32_t result) noexcept = 0;
  // The service cancelled an asynchronous request of the modem's (it gave up waiting); op is
  // the call that started it, a literal that lives as long as the program.
  virtual void Cancel(const char* op) noexcept = 0;
  // The cellular side went off, or came back on.
  virtual void RadioOff(RadioOffCause cause) noexcept = 0;
  virtual void RadioOn() noexcept = 0;
  // The modem took the service's StartTransmissionStateMonitoring (started) or
  // StopTransmissionStateMonitoring (not started): from the one on, changes are delivered.
  virtual void Monitoring(bool started) noexcept = 0;
  // What the service got for GetIsTransmittingAsync, which it asks once, at start: the
  // modem's answer (result 0), or no state and the code of the failure that the request or
  // the reading of its result met.
  virtual void StateAtStart(std::optional<bool> transmitting, std::int32_t result) noexcept = 0;
  // One radio check of the service's (the device status read, then the SIM identifier): whether
  // the two say the cellular side is on (result 0), or no answer and the failed read's code.
  virtual void RadioCheck(std::optional<bool> on, std::int32_t result) noexcept = 0;
  // The service returned this exit code.
  virtual void Exit(int code) noexcept = 0;

  // A recorder that keeps nothing, for models put together without a notebook (unit tests,
  // benchmarks, the Wine providers' own parts); the notebook always passes its own.
  static Recorder& Nothing() noexcept;
};

}  // namespace korvi::sim
