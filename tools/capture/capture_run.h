// One capture, apart from the platform: the child's console bytes and debug messages go in
// with their stamps, trace lines come out to a sink as soon as they are final, and the
// summary grows with them. At the end (exit or abandon) the summary's figures go out as the
// trace's last line. Not thread-safe: the caller feeds it from one thread at a time, in
// the order of the stamps.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "capture_summary.h"
#include "console_stream.h"
#include "trace_builder.h"

namespace korvi::capture {

class CaptureRun {
 public:
  using LineSink = std::function<void(const std::string& line)>;  // one trace line, no line break

  // With the debug channel taken, a radio off from the console waits for its cause there.
  explicit CaptureRun(LineSink sink, DebugChannel debug = DebugChannel::kNotTaken);

  void OnConsole(std::string_view bytes, std::int64_t us);
  void OnDebug(std::string_view utf8Message, std::int64_t us);
  // The child has ended and its output is all in: the last records go out.
  void OnExit(std::uint32_t code, std::int64_t us);
  // The capture must stop before the child has ended (its console is closing, the user is
  // logging off, the system is shutting down): what is held goes out now, so the trace and
  // the summary keep it. After OnExit or OnAbandon the capture is over: later input is
  // ignored, so nothing is added to a trace whose summary has been given.
  void OnAbandon(std::int64_t us);
  bool over() const noexcept { return over_; }

  const CaptureSummary& summary() const noexcept { return summary_; }
  std::size_t unknownConsoleBytes() const noexcept { return console_.unknownBytes(); }

 private:
  void Take(const std::vector<ConsoleMessage>& messages);
  void Flush();
  void Figures(std::int64_t us);

  LineSink sink_;
  ConsoleStream console_;
  TraceBuilder builder_;
  CaptureSummary summary_;
  bool over_ = false;
};

}  // namespace korvi::capture
