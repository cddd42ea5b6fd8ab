#include "capture_summary.h"

#include <utility>

namespace korvi::capture {

// The two reasons the loop took the radio for off: a read that said so, or one that failed.
std::string CaptureSummary::RadioOffCauses() const {
  return " (found off " + std::to_string(radioFoundOff()) + ", read failed " +
         std::to_string(radioReadFailures_) + ")";
}

void CaptureSummary::Add(const Record& record) {
  switch (record.kind) {
    case RecordKind::kRun:
      return;
    case RecordKind::kNotify:
      ++notifications_;
      if (running_ && owed_) {
        answering_.push_back(record.us);  // the late line of the request's own wake-up
        owed_ = false;
      } else {
        waiting_.push_back(record.us);
      }
      return;
    case RecordKind::kFirmwareStart:
      ++requests_;
      running_ = true;
      owed_ = waiting_.empty() && !radioOffSinceStart_;
      radioOffSinceStart_ = false;
      answering_ = std::exchange(waiting_, {});
      return;
    case RecordKind::kFirmwareEnd:
      if (!record.result || *record.result != 0) ++failed_;
      if (!record.result) {
        ++unreached_;
      } else {
        ++firmwareCalls_;
        if (*record.result == 0) ++completed_;
      }
      for (const std::int64_t notified : answering_) reactions_.push_back(record.us - notified);
      answering_.clear();
      running_ = false;
      owed_ = false;
      return;
    case RecordKind::kRadioOff:
      ++radioOffs_;
      if (record.radioReadFailed) ++radioReadFailures_;
      radioOffSinceStart_ = true;
      return;
    case RecordKind::kExit:
      exitCode_ = record.exitCode;
      return;
  }
}

figures::LatencySummary CaptureSummary::reaction() const { return figures::SummariseLatencies(reactions_); }

std::string CaptureSummary::Text() const {
  // Firmware calls in the simulated notebook's words (korvi-sim's "trace:" line): the calls
  // that reached ExecMethod, failed ones included. A WLAN request that stopped before it (its
  // COM or WMI set-up failed) is a request but no firmware call.
  std::string text = "korvi-capture: notifications " + std::to_string(notifications_) + ", WLAN requests " +
                     std::to_string(requests_) + " (" + std::to_string(unreached_) +
                     " stopped before the firmware), firmware calls " + std::to_string(firmwareCalls_) + " (failed " +
                     std::to_string(failedCalls()) + ", completed " + std::to_string(completed_) +
                     "), radio off " + std::to_string(radioOffs_) + RadioOffCauses() + ", exit code " +
                     (exitCode_ ? std::to_string(*exitCode_) : std::string("unknown")) + "\n";
  const figures::LatencySummary latency = reaction();
  text += "korvi-capture: reaction (notification to the end of the request after it): " +
          std::to_string(latency.measured) + " measured" + figures::MedianAndMax(latency);
  text += "; notifications with no request after them " + std::to_string(waiting_.size()) + "\n";
  return text;
}

std::string CaptureSummary::FiguresLine(std::int64_t us) const {
  const figures::LatencySummary latency = reaction();
  const auto count = [](const char* key, std::size_t value) {
    return std::string(",\"") + key + "\":" + std::to_string(value);
  };
  const auto orNull = [](bool known, std::int64_t value) { return known ? std::to_string(value) : "null"; };
  return "{\"t_sim_us\":" + std::to_string(us) + ",\"event\":\"figures\"" + count("notifications", notifications_) +
         count("wlan_requests", requests_) + count("stopped_before_firmware", unreached_) +
         count("firmware_calls", firmwareCalls_) + count("failed", failedCalls()) +
         count("completed", completed_) + count("radio_off", radioOffs_) +
         count("found_off", radioFoundOff()) + count("read_failed", radioReadFailures_) +
         ",\"exit_code\":" + (exitCode_ ? std::to_string(*exitCode_) : std::string("null")) +
         count("reaction_measured", latency.measured) +
         ",\"reaction_median_us\":" + orNull(latency.measured > 0, latency.medianUs) +
         ",\"reaction_max_us\":" + orNull(latency.measured > 0, latency.maxUs) + count("unanswered", waiting_.size()) +
         "}";
}

}  // namespace korvi::capture
