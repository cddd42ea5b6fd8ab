// The notebook's recorder: every report is made a record, stamped, written to the trace file
// (when one was asked for) and folded into the figures at exit, all under one lock, so the
// file's order is the order of the stamps and the figures come from exactly the records the
// file holds.
//
// The lock is a leaf: nothing is called under it but the clock and the file. The places
// that record are the scheduler's platform thread (modem edges, notifications) and the
// service's main thread (wake-ups, firmware calls); the scheduler's gating already orders
// them, and recording adds no wait to either.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/recorder/recorder.h"
#include "platform/sim/recorder/run_figures.h"
#include "platform/sim/recorder/trace_file.h"
#include "platform/sim/recorder/trace_record.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {

class TraceLog final : public Recorder {
 public:
  // file empty: the records only feed the figures. identity: what the run record names
  // besides its speed (see TraceRecord::identity).
  TraceLog(const Scheduler& clock, std::unique_ptr<TraceFile> file, std::string identity = {});

  void Run(double speed) noexcept override;
  void Transmission(bool transmitting, std::int64_t scenarioMs) noexcept override;
  void Notification(bool transmitting, std::int32_t handlerResult) noexcept override;
  void Wake(std::uint32_t waitResult) noexcept override;
  void FirmwareStart(std::optional<std::uint32_t> wlanState) noexcept override;
  void FirmwareEnd(std::optional<std::uint32_t> wlanState, std::int32_t result) noexcept override;
  void Cancel(const char* op) noexcept override;
  void RadioOff(RadioOffCause cause) noexcept override;
  void RadioOn() noexcept override;
  void Monitoring(bool started) noexcept override;
  void StateAtStart(std::optional<bool> transmitting, std::int32_t result) noexcept override;
  void RadioCheck(std::optional<bool> on, std::int32_t result) noexcept override;
  void Exit(int code) noexcept override;

  // The figures so far, and a line about the trace file if writing it failed.
  void WriteSummary(std::ostream& out) const;

 private:
  void Record(TraceRecord record) noexcept;

  const Scheduler& clock_;
  mutable std::mutex mutex_;
  std::unique_ptr<TraceFile> file_;
  const std::string identity_;
  RunFigures figures_;
  bool lost_ = false;  // a record could not be made (memory ran out)
};

}  // namespace korvi::sim
