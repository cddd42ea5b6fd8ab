#include "platform/sim/scenario_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/sim/scenario.h"

namespace korvi::sim {
namespace {

[[noreturn]] void CannotRead(const std::string& path, int error) {
  // The streams do not promise to set errno; without it there is no better reason to give.
  const std::string reason = error != 0 ? std::strerror(error) : "unknown error";
  throw ScenarioError(path + ": cannot read the file: " + reason);
}

}  // namespace

std::string ReadScenarioFile(const std::string& path) {
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) CannotRead(path, errno);
  errno = 0;
  // read() rather than a stream iterator: a read error (a directory, an I/O fault) then sets
  // badbit instead of escaping as an exception from the stream buffer.
  std::string text;
  char chunk[16384];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) text.append(chunk, static_cast<std::size_t>(file.gcount()));
  if (file.bad() || !file.eof()) CannotRead(path, errno);
  return text;
}

}  // namespace korvi::sim
