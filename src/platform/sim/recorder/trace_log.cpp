#include "platform/sim/recorder/trace_log.h"

#include <ostream>
#include <utility>

namespace korvi::sim {

TraceLog::TraceLog(const Scheduler& clock, std::unique_ptr<TraceFile> file, std::string identity)
    : clock_(clock), file_(std::move(file)), identity_(std::move(identity)) {}

void TraceLog::Record(TraceRecord record) noexcept {
  std::lock_guard lock(mutex_);
  // Stamped under the lock: records reach the file and the figures in stamp order.
  const Scheduler::Stamp stamp = clock_.Now();
  record.simUs = stamp.simUs;
  record.wallUs = stamp.wallUs;
  try {
    if (file_) file_->WriteLine(TraceLine(record));
    figures_.Add(record);
  } catch (...) {
    lost_ = true;
  }
}

// Each report is one record; the stamps are set when it is made.
void TraceLog::Run(double speed) noexcept {
  Record({.event = TraceEvent::kRun, .speed = speed, .identity = identity_});
}

void TraceLog::Transmission(bool transmitting, std::int64_t scenarioMs) noexcept {
  Record({.event = TraceEvent::kTransmission, .transmitting = transmitting, .scenarioMs = scenarioMs});
}

void TraceLog::Notification(bool transmitting, std::int32_t handlerResult) noexcept {
  Record({.event = TraceEvent::kNotification, .transmitting = transmitting, .result = handlerResult});
}

void TraceLog::Wake(std::uint32_t waitResult) noexcept {
  Record({.event = TraceEvent::kWake, .result = static_cast<std::int32_t>(waitResult)});
}

void TraceLog::FirmwareStart(std::optional<std::uint32_t> wlanState) noexcept {
  Record({.event = TraceEvent::kFirmwareStart, .wlanState = wlanState});
}

void TraceLog::FirmwareEnd(std::optional<std::uint32_t> wlanState, std::int32_t result) noexcept {
  Record({.event = TraceEvent::kFirmwareEnd, .result = result, .wlanState = wlanState});
}

void TraceLog::Cancel(const char* op) noexcept { Record({.event = TraceEvent::kCancel, .op = op}); }

void TraceLog::RadioOff(RadioOffCause cause) noexcept { Record({.event = TraceEvent::kRadioOff, .cause = cause}); }

void TraceLog::RadioOn() noexcept { Record({.event = TraceEvent::kRadioOn}); }

void TraceLog::Monitoring(bool started) noexcept {
  Record({.event = TraceEvent::kMonitoring, .started = started});
}

void TraceLog::StateAtStart(std::optional<bool> transmitting, std::int32_t result) noexcept {
  Record({.event = TraceEvent::kStateAtStart, .result = result, .answer = transmitting});
}

void TraceLog::RadioCheck(std::optional<bool> on, std::int32_t result) noexcept {
  Record({.event = TraceEvent::kRadioCheck, .result = result, .answer = on});
}

void TraceLog::Exit(int code) noexcept { Record({.event = TraceEvent::kExit, .result = code}); }

void TraceLog::WriteSummary(std::ostream& out) const {
  std::lock_guard lock(mutex_);
  figures_.Write(out);
  // A trace that is incomplete must not pass for a whole one.
  if (file_) file_->ReportFailure(out);
  if (lost_) out << "korvi-sim: trace records lost: memory ran out\n";
}

}  // namespace korvi::sim
