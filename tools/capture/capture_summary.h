// The figures a capture can give at its end, folded from its trace records as they become
// ready: how many notifications, WLAN requests and firmware calls (and how many failed), and the
// reaction from each notification to the end of the request that followed it.
//
// A notification is answered by the first request that starts after it in the trace, so
// several notifications before one request are all answered by it; one that comes while a
// request runs is answered by the next request, as the loop reads the state only before a
// request. One exception: the handler writes its line after it has woken the loop, so the
// line can reach the console after the request it woke has started. A request that no line
// came before was woken by a line still to come (every request but the one after radio off
// follows a wake-up), so the first line that comes while it runs is its own. A request fails
// when it never reached ExecMethod or ExecMethod did not give 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture_record.h"
#include "figures/latency.h"

namespace korvi::capture {

// The reaction's figures, as the simulated notebook's summary states its own.
using Reaction = figures::LatencySummary;

class CaptureSummary {
 public:
  void Add(const Record& record);

  std::size_t notifications() const noexcept { return notifications_; }
  // WLAN requests: every request the console shows begun. Firmware calls: those of them that
  // reached ExecMethod, failed ones included; completed: those it carried out (result 0).
  std::size_t requests() const noexcept { return requests_; }
  std::size_t failedRequests() const noexcept { return failed_; }
  std::size_t unreached() const noexcept { return unreached_; }
  std::size_t firmwareCalls() const noexcept { return firmwareCalls_; }
  std::size_t completed() const noexcept { return completed_; }
  std::size_t failedCalls() const noexcept { return firmwareCalls_ - completed_; }  // of firmwareCalls()
  std::size_t unanswered() const noexcept { return waiting_.size(); }  // no request after them
  std::size_t radioOffs() const noexcept { return radioOffs_; }
  std::size_t radioReadFailures() const noexcept { return radioReadFailures_; }  // of radioOffs()
  std::size_t radioFoundOff() const noexcept { return radioOffs_ - radioReadFailures_; }  // the others
  std::optional<std::uint32_t> exitCode() const noexcept { return exitCode_; }
  Reaction reaction() const;

  // The lines for stderr, each starting "korvi-capture: " and ending with a line break.
  std::string Text() const;
  // The same figures as the trace's last record (stamped `us`, no line break), so that a
  // picture drawn from the trace alone states what the capture stated rather than working it
  // out again; a field log's life carries it as well. Key by key:
  //   notifications, wlan_requests, stopped_before_firmware, firmware_calls, failed,
  //   completed, radio_off, found_off, read_failed, exit_code (null: not known),
  //   reaction_measured, reaction_median_us, reaction_max_us (null: none measured), unanswered
  std::string FiguresLine(std::int64_t us) const;

 private:
  std::string RadioOffCauses() const;

  std::size_t notifications_ = 0;
  std::size_t requests_ = 0;
  std::size_t failed_ = 0;
  std::size_t unreached_ = 0;  // requests that ended before ExecMethod
  std::size_t firmwareCalls_ = 0;
  std::size_t completed_ = 0;
  std::size_t radioOffs_ = 0;
  std::size_t radioReadFailures_ = 0;
  std::optional<std::uint32_t> exitCode_;
  std::vector<std::int64_t> waiting_;    // notifications no request has started after yet
  std::vector<std::int64_t> answering_;  // those the running request answers
  bool running_ = false;                 // a request has started and not ended
  bool owed_ = false;                    // the running request's line has not come yet
  bool radioOffSinceStart_ = false;      // the next request restores power at radio off
  std::vector<std::int64_t> reactions_;
};

}  // namespace korvi::capture
