#include "platform/sim/recorder/run_figures.h"

#include <algorithm>
#include <ostream>

#include "figures/latency.h"

namespace korvi::sim {

using figures::Milliseconds;

namespace {
constexpr std::uint32_t kWlanReduced = 2;
}  // namespace

void RunFigures::Advance(std::int64_t toUs) {
  if (!started_) {
    started_ = true;
    lastUs_ = toUs;
    return;
  }
  // The records are stamped in order under one lock; a step back would be a fault of the
  // trace, and must not subtract time.
  const std::int64_t elapsed = std::max<std::int64_t>(0, toUs - lastUs_);
  lastUs_ = std::max(lastUs_, toUs);
  if (!transmitting_) return;
  transmittingUs_ += elapsed;
  if (!reduced_) exposureUs_ += elapsed;
}

void RunFigures::Add(const TraceRecord& record) {
  if (ended_) return;
  Advance(record.simUs);
  switch (record.event) {
    case TraceEvent::kTransmission:
      if (record.transmitting == transmitting_) break;  // not an edge
      transmitting_ = record.transmitting;
      if (!transmitting_) break;
      ++starts_;
      if (reduced_) {
        ++alreadyReduced_;
      } else {
        pendingStartsUs_.push_back(record.simUs);
      }
      break;
    case TraceEvent::kNotification:
      ++notifications_;
      break;
    case TraceEvent::kWake:
      ++wakeUps_;
      break;
    case TraceEvent::kFirmwareStart:
      ++firmwareCalls_;
      break;
    case TraceEvent::kFirmwareEnd:
      if (record.result != 0) {
        ++firmwareFailures_;  // a failed call leaves the power as it was
        break;
      }
      reduced_ = record.wlanState == kWlanReduced;
      if (reduced_) {
        for (const std::int64_t startUs : pendingStartsUs_) latenciesUs_.push_back(record.simUs - startUs);
      } else {
        // The service answered these starts with another state: they were never reduced.
        neverReduced_ += static_cast<std::int64_t>(pendingStartsUs_.size());
      }
      pendingStartsUs_.clear();
      break;
    case TraceEvent::kExit:
      ended_ = true;
      break;
    case TraceEvent::kRun:
    case TraceEvent::kCancel:
    case TraceEvent::kRadioOff:
    case TraceEvent::kRadioOn:
    case TraceEvent::kMonitoring:
    case TraceEvent::kStateAtStart:
    case TraceEvent::kRadioCheck:
      break;
  }
}

void RunFigures::Write(std::ostream& out) const {
  // Firmware calls are the method calls that reached the firmware, failed ones included; the
  // completed ones are those that set the power, as korvi-capture's summary counts them too.
  out << "korvi-sim: trace: notifications " << notifications_ << ", wake-ups " << wakeUps_ << ", firmware calls "
      << firmwareCalls_ << " (failed " << firmwareFailures_ << ", completed " << firmwareCalls_ - firmwareFailures_
      << ")\n";
  out << "korvi-sim: time transmitting: " << Milliseconds(transmittingUs_) << " ms simulated, in " << starts_
      << (starts_ == 1 ? " burst" : " bursts") << "; transmitting at exit: " << (transmitting_ ? "yes" : "no") << "\n";
  out << "korvi-sim: exposure (transmitting while WLAN power normal): " << Milliseconds(exposureUs_)
      << " ms simulated\n";
  const figures::LatencySummary latency = figures::SummariseLatencies(latenciesUs_);
  out << "korvi-sim: reaction latency (transmission start to reduced WLAN power): " << latency.measured << " measured"
      << figures::MedianAndMax(latency, " simulated");
  out << "; starts already reduced " << alreadyReduced_ << ", never reduced " << startsNeverReduced() << "\n";
}

}  // namespace korvi::sim
