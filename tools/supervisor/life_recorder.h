// One life of the service as the field log records it: its start, every console line with its
// arrival stamp, the trace records that korvi-capture would make of the same console (the
// capture's own CaptureRun: one parser and one trace builder for both tools), the gaps
// the queue had to leave, and its end with the policy's decision.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bounded_queue.h"
#include "capture_run.h"
#include "console_lines.h"
#include "log_records.h"

namespace korvi::supervisor {

using LogSink = std::function<void(const std::string& line)>;

class LifeRecorder {
 public:
  LifeRecorder(int life, std::int64_t wallMs, std::string_view program, LogSink sink);
  LifeRecorder(const LifeRecorder&) = delete;  // its trace sink points back at it
  LifeRecorder& operator=(const LifeRecorder&) = delete;

  void OnConsole(std::string_view bytes, std::int64_t us);
  void OnDropped(const Gap& gap, std::int64_t us);
  // The life is over: the line left open, the trace's last records, and the end record.
  void OnEnd(const LifeEnd& end, std::int64_t us);

 private:
  void Lines(const std::vector<ConsoleLine>& lines);

  int life_;
  LogSink sink_;
  bool started_;  // the start record, written before the trace's run record
  ConsoleLines lines_;
  capture::CaptureRun trace_;
};

}  // namespace korvi::supervisor
