// The figures, as rows of one Markdown table (benchmark | figure | value), so that a run can be
// read on a terminal and pasted into the README as it is.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace korvi::bench {

class Report {
 public:
  explicit Report(std::FILE* out) : out_(out) {}
  void Row(const std::string& benchmark, const std::string& figure, const std::string& value);

 private:
  std::FILE* out_;
};

// "12.3 µs" below a millisecond, "1.23 ms" from there on.
std::string FormatDuration(std::chrono::nanoseconds duration);
// "3.2×"; "n/a" when the divisor is zero.
std::string FormatRatio(double numerator, double denominator);
// "1,000,000".
std::string FormatCount(std::int64_t count);
// "12.3 MiB" from kibibytes, as getrusage gives them.
std::string FormatKibibytes(long kibibytes);

}  // namespace korvi::bench
