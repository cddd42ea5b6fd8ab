// The scenario's fault table: makes chosen platform calls fail with chosen result codes.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvi::sim {

struct Fault {
  std::string op;
  std::int32_t hresult = 0;       // for WaitForTxEvent: the wait result instead
  std::optional<std::int64_t> call;  // only the n-th call (1-based) of op fails; empty: every call
};

class FaultTable {
 public:
  FaultTable() = default;
  explicit FaultTable(std::vector<Fault> faults) : faults_(std::move(faults)) {}

  // Counts one call of op and answers the code it must fail with, if any. Thread-safe.
  std::optional<std::int32_t> Check(std::string_view op);

  // How many calls of op were made so far.
  std::int64_t Calls(std::string_view op) const;

  // Every op name that a scenario may name.
  static bool IsKnownOp(std::string_view op) noexcept;
  // Those names, ", " between them, for the error that refuses any other.
  static std::string KnownOps();

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
  std::map<std::string, std::int64_t, std::less<>> calls_;
};

}  // namespace korvi::sim
