// The field log's records: one JSON object per line, each naming its kind in "log".
//
//   run      which build of the supervisor writes what follows: it opens every file of the
//            log, and the part each supervisor appends ("source", "version", "build")
//   note     the supervisor's own events (started, a second supervisor, a bad option, the
//            logon session ending, lines the log could not take)
//   start    a life begins: its number, the wall-clock time and the program
//   console  one console line of the service, "t_us" after its start (monotonic clock)
//   dropped  console output the queue had to drop there, so that the service never waited
//   trace    a trace record as korvi-capture writes it ("record"), made from the console
//   end      a life ends: exit code (null: never started), what it means, how long it ran,
//            the delay the policy chose before the next start, and whether one follows
//            (none after the last of --lives, or when the session ends)
//
// Texts are escaped so that every line is valid JSON whatever the service wrote: bytes
// outside printable ASCII as \u00XX (a byte of the Windows code page read as Latin-1).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bounded_queue.h"
#include "restart_policy.h"

namespace korvi::supervisor {

// Wall-clock time as milliseconds since 1970 (UTC), written as "2026-12-09T18:23:53.123Z".
std::string IsoTime(std::int64_t unixMs);
std::string JsonText(std::string_view text);

std::string RunRecord();
std::string NoteRecord(std::int64_t wallMs, std::string_view event, std::string_view text);
std::string StartRecord(int life, std::int64_t wallMs, std::string_view program);
std::string ConsoleRecord(int life, std::int64_t us, std::string_view text, bool cut);
std::string DroppedRecord(int life, std::int64_t us, const Gap& gap);
std::string TraceRecord(int life, std::string_view traceLine);

struct LifeEnd {
  int life;
  std::int64_t wallMs;
  std::optional<std::uint32_t> exitCode;  // none: the program could not be started
  milliseconds lasted;
  ExitMeaning meaning;
  milliseconds delay;   // the policy's choice
  bool restarts;        // false: the supervisor ends here
};
std::string EndRecord(const LifeEnd& end);

}  // namespace korvi::supervisor
