#include "thread_activity.h"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace korvi::bench {
namespace {

std::int64_t ContextSwitchesOf(const std::filesystem::path& status) {
  std::ifstream in(status);
  if (!in) throw std::runtime_error(status.string() + ": cannot read");
  std::int64_t total = 0;
  std::string line;
  while (std::getline(in, line)) {
    for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
      if (line.rfind(key, 0) == 0) total += std::stoll(line.substr(std::string(key).size()));
    }
  }
  return total;
}

}  // namespace

std::int64_t OtherThreadsContextSwitches() {
  const std::string self = std::to_string(::gettid());
  std::int64_t total = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    total += ContextSwitchesOf(task.path() / "status");
  }
  return total;
}

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakResidentKibibytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace korvi::bench
