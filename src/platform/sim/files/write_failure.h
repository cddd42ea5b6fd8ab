// The first failed write to one of the simulated notebook's output files (the trace, the
// debug log), so that the run's end can say the file is incomplete and why instead of
// letting it pass for a whole one.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <string_view>

namespace korvi::sim {

class WriteFailure {
 public:
  // errno of the failed write (0 when there is none, for a short write). The first one is
  // kept. Safe to call from several threads.
  void Record(int error) noexcept;
  bool failed() const noexcept { return first_.load(std::memory_order_acquire) != kNone; }
  // Why the first write failed; empty while none has.
  std::string reason() const;
  // When a write failed, the line korvi-sim: <what> "<path>" is incomplete: <reason>
  void Report(std::ostream& out, std::string_view what, const std::string& path) const;

 private:
  static constexpr int kNone = -1;
  std::atomic<int> first_{kNone};
};

}  // namespace korvi::sim
