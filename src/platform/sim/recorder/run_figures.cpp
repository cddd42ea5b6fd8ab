#include "platform/sim/recorder/run_figures.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ostream>

namespace korvi::sim {
namespace {
constexpr std::uint32_t kWlanReduced = 2;
}  // namespace

std::string Milliseconds(std::int64_t microseconds) {
  // Integer arithmetic: the printed figure is exactly the summed microseconds.
  const char* sign = microseconds < 0 ? "-" : "";
  const std::uint64_t magnitude =
      microseconds < 0 ? 0 - static_cast<std::uint64_t>(microseconds) : static_cast<std::uint64_t>(microseconds);
  char text[40];
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%03" PRIu64, sign, magnitude / 1000, magnitude % 1000);
  return text;
}

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
  std::vector<std::int64_t> sorted = latenciesUs_;
  std::sort(sorted.begin(), sorted.end());
  out << "korvi-sim: reaction latency (transmission start to reduced WLAN power): " << sorted.size() << " measured";
  if (sorted.empty()) {
    out << ", median -, max -";
  } else {
    const std::size_t n = sorted.size();
    const std::int64_t median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    out << ", median " << Milliseconds(median) << " ms, max " << Milliseconds(sorted.back()) << " ms simulated";
  }
  out << "; starts already reduced " << alreadyReduced_ << ", never reduced " << startsNeverReduced() << "\n";
}

}  // namespace korvi::sim
