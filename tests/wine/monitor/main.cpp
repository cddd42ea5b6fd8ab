// debug-output-monitor: runs a program as its child and records every message the child
// writes to the system debug channel (OutputDebugString), whole and in order, one line per
// message in DEBUG_FILE. The child's standard output and error pass through untouched; the
// monitor's own words go to stderr only. It ends with the child's exit code, or 125 for its
// own trouble and 127 for a program that cannot be started.
//
//   debug-output-monitor DEBUG_FILE PROGRAM [ARGUMENT...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "dbwin_channel.h"
#include "debug_file.h"
#include "monitor_error.h"

namespace korvi::monitor {
namespace {

constexpr char kUsage[] = "usage: debug-output-monitor DEBUG_FILE PROGRAM [ARGUMENT...]";

struct Tally {
  std::size_t foreign = 0;   // messages of other processes that write to the same channel
  std::size_t filled = 0;    // messages as long as the section allows, perhaps cut by the writer
};

void Receive(const DbwinChannel& channel, const ChildProcess& child, DebugFile& file, Tally& tally) {
  const DebugMessage message = channel.Take();
  // Hand the buffer back before writing, so that the writer waits as briefly as possible.
  channel.HandBack();
  if (message.processId != child.Id()) {
    ++tally.foreign;
    return;
  }
  if (message.text.size() == DbwinChannel::kTextRoom - 1) ++tally.filled;
  file.Write(message.text);
}

void Watch(const DbwinChannel& channel, const ChildProcess& child, DebugFile& file, Tally& tally) {
  // A message waiting and the child's end at once: the wait names the message first.
  const HANDLE waits[] = {channel.DataReady(), child.Process()};
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) {
      Receive(channel, child, file, tally);
    } else if (woken == WAIT_OBJECT_0 + 1) {
      break;
    } else {
      throw MonitorError(LastErrorText("cannot wait for the program or its messages"));
    }
  }
  // A writer sets DBWIN_DATA_READY before its OutputDebugString returns, so once the child
  // has ended its last message, if any, is already signalled.
  while (WaitForSingleObject(channel.DataReady(), 0) == WAIT_OBJECT_0) Receive(channel, child, file, tally);
}

int Run(int argc, wchar_t** argv) {
  if (argc < 3) throw MonitorError(kUsage);
  if (argv[1][0] == L'\0') throw MonitorError(std::string("the debug file name is empty; ") + kUsage);
  if (argv[2][0] == L'\0') throw MonitorError(std::string("the program name is empty; ") + kUsage);

  DebugFile file(argv[1]);
  const DbwinChannel channel;
  channel.HandBack();
  const ChildProcess child(std::vector<std::wstring>(argv + 2, argv + argc));
  Tally tally;
  Watch(channel, child, file, tally);

  if (tally.foreign > 0) {
    std::fprintf(stderr, "debug-output-monitor: ignored %zu messages of other processes\n", tally.foreign);
  }
  if (tally.filled > 0) {
    std::fprintf(stderr, "debug-output-monitor: %zu messages filled the whole section (%zu bytes) and may have been cut\n",
                 tally.filled, DbwinChannel::kTextRoom - 1);
  }
  return static_cast<int>(child.ExitCode());
}

}  // namespace
}  // namespace korvi::monitor

int wmain(int argc, wchar_t** argv) {
  try {
    return korvi::monitor::Run(argc, argv);
  } catch (const korvi::monitor::MonitorError& error) {
    std::fprintf(stderr, "debug-output-monitor: %s\n", error.what());
    return error.ExitCode();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "debug-output-monitor: %s\n", error.what());
    return korvi::monitor::kExitMonitorFailed;
  }
}
