#include "log_writer.h"

#include <memory>
#include <new>

#include "log_records.h"

namespace korvi::supervisor {

std::int64_t WallMs() noexcept {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10'000 - 11'644'473'600'000;  // 100 ns since 1601 to ms since 1970
}

// One life's recorder at a time: a life's start makes it, its end closes it.
void WriteLog(Queue& queue, RotatingLog& log) noexcept {
  std::unique_ptr<LifeRecorder> life;
  std::int64_t lastUs = 0;
  std::size_t lostSaid = 0;
  const LogSink sink = [&log](const std::string& line) { log.Write(line); };
  for (;;) {
    Queue::Batch batch = queue.Take();
    try {
      for (Queue::Entry& entry : batch.entries) {
        if (entry.droppedBefore.any() && life) life->OnDropped(entry.droppedBefore, lastUs);
        if (auto* start = std::get_if<StartInput>(&entry.item)) {
          life.reset();
          life = std::make_unique<LifeRecorder>(start->life, start->wallMs, start->program, sink);
          lastUs = 0;
        } else if (auto* console = std::get_if<ConsoleInput>(&entry.item)) {
          lastUs = console->us;
          if (life) life->OnConsole(console->bytes, console->us);
        } else if (auto* end = std::get_if<EndInput>(&entry.item)) {
          if (life) life->OnEnd(end->end, end->us);
          life.reset();
        } else if (auto* line = std::get_if<LineInput>(&entry.item)) {
          log.Write(line->line);
        } else if (auto* flush = std::get_if<FlushInput>(&entry.item)) {
          log.Flush();
          SetEvent(flush->done);
        }
      }
      if (batch.droppedAfter.any() && life) life->OnDropped(batch.droppedAfter, lastUs);
      if (log.lostLines() > lostSaid) {
        const std::size_t lost = log.lostLines();
        std::string text = "the log could not take ";
        text += std::to_string(lost - lostSaid);
        text += " lines before this one";
        log.Write(NoteRecord(WallMs(), "log-lost-lines", text));
        lostSaid = lost;
      }
    } catch (const std::bad_alloc&) {
      // What could not be recorded is lost; the service goes on.
    }
    log.Flush();
    if (batch.closed) return;
  }
}

}  // namespace korvi::supervisor
