#include "platform/sim/files/write_failure.h"

#include <cstring>
#include <ostream>

#include "platform/sim/files/shown_input.h"

namespace korvi::sim {

void WriteFailure::Record(int error) noexcept {
  int none = kNone;
  first_.compare_exchange_strong(none, error < 0 ? 0 : error, std::memory_order_acq_rel);
}

std::string WriteFailure::reason() const {
  const int error = first_.load(std::memory_order_acquire);
  if (error == kNone) return {};
  return error != 0 ? std::strerror(error) : "write failed";
}

void WriteFailure::Report(std::ostream& out, std::string_view what, const std::string& path) const {
  if (failed()) out << "korvi-sim: " << what << " \"" << ShownPath(path) << "\" is incomplete: " << reason() << "\n";
}

}  // namespace korvi::sim
