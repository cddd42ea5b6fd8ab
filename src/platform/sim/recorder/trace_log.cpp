#include "platform/sim/recorder/trace_log.h"

#include <ostream>
#include <utility>

namespace korvi::sim {

TraceLog::TraceLog(const Scheduler& clock, std::unique_ptr<TraceFile> file) : clock_(clock), file_(std::move(file)) {}

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

void TraceLog::Run(double speed) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kRun;
  record.speed = speed;
  Record(record);
}

void TraceLog::Transmission(bool transmitting, std::int64_t scenarioMs) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kTransmission;
  record.transmitting = transmitting;
  record.scenarioMs = scenarioMs;
  Record(record);
}

void TraceLog::Notification(bool transmitting, std::int32_t handlerResult) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kNotification;
  record.transmitting = transmitting;
  record.result = handlerResult;
  Record(record);
}

void TraceLog::Wake(std::uint32_t waitResult) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kWake;
  record.result = static_cast<std::int32_t>(waitResult);
  Record(record);
}

void TraceLog::FirmwareStart(std::optional<std::uint32_t> wlanState) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kFirmwareStart;
  record.wlanState = wlanState;
  Record(record);
}

void TraceLog::FirmwareEnd(std::optional<std::uint32_t> wlanState, std::int32_t result) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kFirmwareEnd;
  record.wlanState = wlanState;
  record.result = result;
  Record(record);
}

void TraceLog::RadioOff(RadioOffCause cause) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kRadioOff;
  record.cause = cause;
  Record(record);
}

void TraceLog::RadioOn() noexcept {
  TraceRecord record;
  record.event = TraceEvent::kRadioOn;
  Record(record);
}

void TraceLog::Exit(int code) noexcept {
  TraceRecord record;
  record.event = TraceEvent::kExit;
  record.result = code;
  Record(record);
}

void TraceLog::WriteSummary(std::ostream& out) const {
  std::lock_guard lock(mutex_);
  figures_.Write(out);
  // A trace that is incomplete must not pass for a whole one.
  if (file_) file_->ReportFailure(out);
  if (lost_) out << "korvi-sim: trace records lost: memory ran out\n";
}

}  // namespace korvi::sim
