// Where the simulated notebook's debug channel goes: one line per message in the file that
// KORVI_DEBUG_LOG names, or the system log (ident "korvi-sar", debug priority).
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace korvi::sim {

class DebugSink {
 public:
  virtual ~DebugSink() = default;
  virtual void Write(std::string_view utf8Message) noexcept = 0;
  // The line that says messages were lost, when a sink knows it lost some.
  virtual void ReportFailure(std::ostream&) const {}

  // A file sink appends each message followed by "\n" in one write. A line break or
  // backslash inside a message is written as "\n" or "\\", so one message is one line.
  // A path that is there and is neither a regular file nor a sink such as /dev/null is
  // refused. Throws std::runtime_error "KORVI_DEBUG_LOG: cannot open \"<path>\": <reason>".
  static std::unique_ptr<DebugSink> OpenFile(const std::string& path);
  static std::unique_ptr<DebugSink> SystemLog();
};

}  // namespace korvi::sim
