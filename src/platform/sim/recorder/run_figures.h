// The figures of a run that stderr shows at exit, folded from the trace's records as they are
// made: time transmitting, exposure (transmitting while the WLAN is at normal power), the
// reaction latency from each transmission start to reduced WLAN power, and the counts.
//
// The WLAN power is what the last firmware call that completed successfully set; it starts
// normal. Only state 2 counts as reduced: anything else leaves the modem exposed.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/sim/recorder/trace_record.h"

namespace korvi::sim {

class RunFigures {
 public:
  // Records must come in time order; records after the exit record are ignored.
  void Add(const TraceRecord& record);

  std::int64_t transmittingUs() const noexcept { return transmittingUs_; }
  std::int64_t exposureUs() const noexcept { return exposureUs_; }
  std::int64_t starts() const noexcept { return starts_; }
  bool transmittingAtEnd() const noexcept { return transmitting_; }
  // One latency per start that found the WLAN at normal power and saw it reduced later.
  const std::vector<std::int64_t>& latenciesUs() const noexcept { return latenciesUs_; }
  // Starts that found the WLAN already reduced (a gap inside the hysteresis).
  std::int64_t startsAlreadyReduced() const noexcept { return alreadyReduced_; }
  // Starts whose transmission was answered by another power state, or the end of the run,
  // before any reduction.
  std::int64_t startsNeverReduced() const noexcept {
    return neverReduced_ + static_cast<std::int64_t>(pendingStartsUs_.size());
  }
  std::int64_t notifications() const noexcept { return notifications_; }
  std::int64_t wakeUps() const noexcept { return wakeUps_; }
  std::int64_t firmwareCalls() const noexcept { return firmwareCalls_; }
  std::int64_t firmwareFailures() const noexcept { return firmwareFailures_; }

  // The summary lines, each "korvi-sim: ..." and a line break. Timing figures are simulated
  // milliseconds with three decimals; counts are plain integers.
  void Write(std::ostream& out) const;

 private:
  void Advance(std::int64_t toUs);

  bool ended_ = false;
  bool started_ = false;
  std::int64_t lastUs_ = 0;
  bool transmitting_ = false;
  bool reduced_ = false;
  std::int64_t transmittingUs_ = 0;
  std::int64_t exposureUs_ = 0;
  std::int64_t starts_ = 0;
  std::vector<std::int64_t> pendingStartsUs_;
  std::vector<std::int64_t> latenciesUs_;
  std::int64_t alreadyReduced_ = 0;
  std::int64_t neverReduced_ = 0;
  std::int64_t notifications_ = 0;
  std::int64_t wakeUps_ = 0;
  std::int64_t firmwareCalls_ = 0;
  std::int64_t firmwareFailures_ = 0;
};

}  // namespace korvi::sim
