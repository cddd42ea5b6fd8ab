#include "life_recorder.h"

namespace korvi::supervisor {

LifeRecorder::LifeRecorder(int life, std::int64_t wallMs, std::string_view program, LogSink sink)
    : life_(life),
      sink_(std::move(sink)),
      started_((sink_(StartRecord(life_, wallMs, program)), true)),
      trace_([this](const std::string& line) { sink_(TraceRecord(life_, line)); }) {}

void LifeRecorder::Lines(const std::vector<ConsoleLine>& lines) {
  for (const ConsoleLine& line : lines) sink_(ConsoleRecord(life_, line.us, line.text, line.cut));
}

void LifeRecorder::OnConsole(std::string_view bytes, std::int64_t us) {
  Lines(lines_.Feed(bytes, us));
  trace_.OnConsole(bytes, us);
}

void LifeRecorder::OnDropped(const Gap& gap, std::int64_t us) { sink_(DroppedRecord(life_, us, gap)); }

void LifeRecorder::OnEnd(const LifeEnd& end, std::int64_t us) {
  Lines(lines_.Finish());
  if (end.exitCode) {
    trace_.OnExit(*end.exitCode, us);
  } else {
    trace_.OnAbandon(us);
  }
  sink_(EndRecord(end));
}

}  // namespace korvi::supervisor
