#include "capture_session.h"

#include <utility>

namespace korvi::capture {

CaptureSession::CaptureSession(LineSink sink) : sink_(std::move(sink)) { Flush(); }

void CaptureSession::Take(const std::vector<ConsoleMessage>& messages) {
  for (const ConsoleMessage& message : messages) builder_.OnConsole(message);
  Flush();
}

void CaptureSession::OnConsole(std::string_view bytes, std::int64_t us) { Take(console_.Feed(bytes, us)); }

void CaptureSession::OnDebug(std::string_view utf8Message, std::int64_t us) {
  builder_.OnDebug(utf8Message, us);
  Flush();
}

void CaptureSession::OnExit(std::uint32_t code, std::int64_t us) {
  Take(console_.Finish());
  builder_.OnExit(code, us);
  Flush();
}

void CaptureSession::Flush() {
  for (const Record& record : builder_.TakeReady()) {
    summary_.Add(record);
    if (sink_) sink_(TraceLine(record));
  }
}

}  // namespace korvi::capture
