#include "capture_run.h"

#include <utility>

namespace korvi::capture {

CaptureRun::CaptureRun(LineSink sink, DebugChannel debug) : sink_(std::move(sink)), builder_(debug) {
  Flush();
}

void CaptureRun::Take(const std::vector<ConsoleMessage>& messages) {
  for (const ConsoleMessage& message : messages) builder_.OnConsole(message);
  Flush();
}

void CaptureRun::OnConsole(std::string_view bytes, std::int64_t us) {
  if (over_) return;
  Take(console_.Feed(bytes, us));
}

void CaptureRun::OnDebug(std::string_view utf8Message, std::int64_t us) {
  if (over_) return;
  builder_.OnDebug(utf8Message, us);
  Flush();
}

void CaptureRun::OnExit(std::uint32_t code, std::int64_t us) {
  if (over_) return;
  over_ = true;
  Take(console_.Finish());
  builder_.OnExit(code, us);
  Flush();
  Figures(us);
}

void CaptureRun::OnAbandon(std::int64_t us) {
  if (over_) return;
  over_ = true;
  Take(console_.Finish());
  builder_.OnAbandon(us);
  Flush();
  Figures(us);
}

void CaptureRun::Flush() {
  for (const Record& record : builder_.TakeReady()) {
    summary_.Add(record);
    if (sink_) sink_(TraceLine(record));
  }
}

// The summary's figures close the trace: every record they count has gone out before them.
void CaptureRun::Figures(std::int64_t us) {
  if (sink_) sink_(summary_.FiguresLine(us));
}

}  // namespace korvi::capture
