#include "platform/sim/scenario/scenario_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/sim/files/own_file.h"
#include "platform/sim/files/shown_input.h"
#include "platform/sim/scenario/scenario.h"

namespace korvi::sim {
namespace {

[[noreturn]] void CannotRead(const std::string& path, const std::string& reason) {
  throw ScenarioError(ShownPath(path) + ": cannot read the file: " + reason);
}

std::string Reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

}  // namespace

std::string ReadScenarioFile(const std::string& path) {
  try {
    const OwnFile file = OwnFile::Open(path, OwnFile::Use::kRead);
    std::string text;
    char chunk[16384];
    for (;;) {
      errno = 0;
      const auto n = ::read(file.fd(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) CannotRead(path, Reason(errno));
      if (n == 0) return text;
      // The bound holds however the file came to be this long, even while it grows.
      if (text.size() + static_cast<std::size_t>(n) > kMaxScenarioBytes)
        CannotRead(path, "it is larger than 16 MiB, the most a scenario may hold");
      text.append(chunk, static_cast<std::size_t>(n));
    }
  } catch (const OpenRefused& refused) {
    CannotRead(path, refused.what());
  }
}

}  // namespace korvi::sim
