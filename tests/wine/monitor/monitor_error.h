// The one failure type of the monitor: a one-line text for stderr and the exit code it ends
// with. Codes above any the service uses, as shells do: 125 for the monitor's own trouble,
// 127 for a program that cannot be started.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace korvi::monitor {

constexpr int kExitMonitorFailed = 125;
constexpr int kExitCannotStart = 127;

class MonitorError : public std::runtime_error {
 public:
  MonitorError(const std::string& what, int exitCode = kExitMonitorFailed)
      : std::runtime_error(what), exitCode_(exitCode) {}
  int ExitCode() const noexcept { return exitCode_; }

 private:
  int exitCode_;
};

// "<what>: <system text> (error <code>)" for the calling thread's last Win32 error.
std::string LastErrorText(const std::string& what);

}  // namespace korvi::monitor
