// The trace file that KORVI_SIM_TRACE names: one JSON object per line, one line per record,
// written as the record is made so that a run that dies still leaves what it saw.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/sim/files/write_failure.h"
#include "platform/sim/recorder/trace_record.h"

namespace korvi::sim {

// The JSON line of one record, without the line break, for example
// {"t_sim_us":300125,"t_wall_us":60025,"event":"tx","transmitting":true,"scenario_ms":300}
std::string TraceLine(const TraceRecord& record);

class TraceFile {
 public:
  // Creates or truncates the file; a path that is there and is neither a regular file nor
  // a sink such as /dev/null is refused, and never truncated. Throws std::runtime_error
  // "KORVI_SIM_TRACE: cannot open \"<path>\": <reason>".
  static std::unique_ptr<TraceFile> Open(const std::string& path);

  // Appends the line and a line break and flushes. Not thread-safe: TraceLog serialises.
  void WriteLine(const std::string& line) noexcept;
  const std::string& path() const noexcept { return path_; }
  // When a write failed (the trace is then incomplete), the line that says so and why the
  // first one did.
  void ReportFailure(std::ostream& out) const { failure_.Report(out, "trace file", path_); }

 private:
  struct Closer {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };
  TraceFile(std::unique_ptr<std::FILE, Closer> file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
  WriteFailure failure_;
};

}  // namespace korvi::sim
