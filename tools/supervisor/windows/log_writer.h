// The supervisor's way to its field log: what the other threads put in the bounded queue, and
// the one thread that writes the queue to the log, a life's recorder at a time, so that a slow
// disk never reaches the child's pipe.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <variant>

#include "bounded_queue.h"
#include "life_recorder.h"
#include "rotating_log.h"

namespace korvi::supervisor {

// Wall-clock time as milliseconds since 1970, as the log's records carry it.
std::int64_t WallMs() noexcept;

// What goes through the queue to the writer.
struct StartInput {
  int life;
  std::int64_t wallMs;
  std::string program;
};
struct ConsoleInput {
  std::string bytes;
  std::int64_t us;  // since the life's start
};
struct EndInput {
  LifeEnd end;
  std::int64_t us;
};
struct LineInput {
  std::string line;  // a record made already (a note)
};
struct FlushInput {
  HANDLE done;  // set once all before it is on disk
};
using Input = std::variant<StartInput, ConsoleInput, EndInput, LineInput, FlushInput>;
using Queue = BoundedQueue<Input>;

// Takes the queue until it is closed.
void WriteLog(Queue& queue, RotatingLog& log) noexcept;

// The log's writer thread, told that nothing more comes and joined on every path, so that
// what was queued is on disk before the process ends.
class Writer {
 public:
  Writer(Queue& queue, RotatingLog& log) : queue_(queue), thread_(WriteLog, std::ref(queue), std::ref(log)) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() {
    queue_.Close();
    thread_.join();
  }

 private:
  Queue& queue_;
  std::thread thread_;
};

}  // namespace korvi::supervisor
