#include "report.h"

#include <cstdarg>

#include "os/printf_format.h"

namespace korvi::bench {
namespace {
std::string Printf(const char* format, ...) KORVI_PRINTF_FORMAT(1, 2);

std::string Printf(const char* format, ...) {
  char text[64];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}
}  // namespace

void Report::Row(const std::string& benchmark, const std::string& figure, const std::string& value) {
  std::fprintf(out_, "| %s | %s | %s |\n", benchmark.c_str(), figure.c_str(), value.c_str());
  std::fflush(out_);
}

std::string FormatDuration(std::chrono::nanoseconds duration) {
  const double micros = static_cast<double>(duration.count()) / 1000.0;
  if (micros < 1000.0) return Printf("%.1f µs", micros);
  return Printf("%.2f ms", micros / 1000.0);
}

std::string FormatRatio(double numerator, double denominator) {
  if (denominator == 0.0) return "n/a";
  return Printf("%.1f×", numerator / denominator);
}

std::string FormatCount(std::int64_t count) {
  const std::string digits = std::to_string(count < 0 ? -count : count);
  std::string grouped = count < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string FormatKibibytes(long kibibytes) { return Printf("%.1f MiB", static_cast<double>(kibibytes) / 1024.0); }

}  // namespace korvi::bench
