// The trace file that KORVI_SIM_TRACE names: one JSON object per line, one line per record,
// written as the record is made so that a run that dies still leaves what it saw.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/sim/trace_record.h"

namespace korvi::sim {

// The JSON line of one record, without the line break, for example
// {"t_sim_us":300125,"t_wall_us":60025,"event":"tx","transmitting":true,"scenario_ms":300}
std::string TraceLine(const TraceRecord& record);

class TraceFile {
 public:
  // Creates or truncates the file. Throws std::runtime_error
  // "KORVI_SIM_TRACE: cannot open \"<path>\": <reason>".
  static std::unique_ptr<TraceFile> Open(const std::string& path);

  // Appends the line and a line break and flushes. Not thread-safe: TraceLog serialises.
  void WriteLine(const std::string& line) noexcept;
  // Whether a write failed (the trace is then incomplete), and why the first one did.
  bool failed() const noexcept { return failed_; }
  std::string failure() const;
  const std::string& path() const noexcept { return path_; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };
  TraceFile(std::unique_ptr<std::FILE, Closer> file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace korvi::sim
