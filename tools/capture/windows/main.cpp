// korvi-capture: the field-capture tool. Runs the service (or PROGRAM) as its child, passes
// the child's standard output through unchanged, takes the child's debug messages as a
// debug-output viewer does, stamps every message on arrival with the monotonic
// high-resolution clock, and writes the debug file, the trace and, on stderr, the summary.
// Ends with the child's exit code, 125 for its own trouble, 127 for a program that cannot be
// started. The reading of the two streams is the portable CaptureRun; this is the thin
// Windows side.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "arguments.h"
#include "capture_error.h"
#include "capture_run.h"
#include "child_process.h"
#include "command_line.h"
#include "dbwin_channel.h"
#include "monotonic_clock.h"
#include "os/debug_line.h"
#include "output_file.h"

namespace korvi::capture {
namespace {

// What the two threads share: the capture is fed under the lock, each input stamped inside
// it, so the stamps reach the capture in their order.
struct Shared {
  explicit Shared(CaptureRun::LineSink sink) : capture(std::move(sink), DebugChannel::kTaken) {}
  std::mutex mutex;
  MonotonicClock clock;
  CaptureRun capture;
  std::optional<std::string> passFailure;  // standard output stopped taking the child's output
                                           // (empty: no memory was left to say how)
  bool readFailed = false;                 // the child's output could not be read to its end (said at once)
  bool consoleLineOpen = false;            // the last byte passed to standard output was not a line break
};

// A file's identity: volume and file ID, or nothing where the system gives none (then two
// handles are never taken for one file).
std::optional<FILE_ID_INFO> FileIdentity(HANDLE handle) noexcept {
  FILE_ID_INFO id{};
  if (!GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) return std::nullopt;
  const FILE_ID_INFO none{};
  if (std::memcmp(id.FileId.Identifier, none.FileId.Identifier, sizeof id.FileId.Identifier) == 0) return std::nullopt;
  return id;
}

// Whether standard output and standard error show in one place: the same handle, the one
// console a process has, or one file or pipe (2>&1). There the summary must not continue a
// line the child left open; elsewhere stderr's lines are all its own.
bool OutputsShareOnePlace() noexcept {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || err == nullptr || err == INVALID_HANDLE_VALUE) return false;
  if (out == err) return true;
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode) && GetConsoleMode(err, &mode)) return true;
  const std::optional<FILE_ID_INFO> a = FileIdentity(out);
  const std::optional<FILE_ID_INFO> b = FileIdentity(err);
  return a && b && a->VolumeSerialNumber == b->VolumeSerialNumber &&
         std::memcmp(a->FileId.Identifier, b->FileId.Identifier, sizeof a->FileId.Identifier) == 0;
}

// Before a line of the capture's own on stderr (with shared.mutex held): where it shows after
// the child's console, a line the child left open is ended first, so that the capture's line
// starts one of its own; no empty line where the console's last line was ended already.
void StartOwnLine(Shared& shared) noexcept {
  if (std::exchange(shared.consoleLineOpen, false) && OutputsShareOnePlace()) std::fputs("\n", stderr);
}

bool WriteAll(HANDLE to, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// LastErrorText, or `what` alone when there is no memory for more: the reading thread must
// not end the process over a report.
std::string FailureText(const char* what) noexcept {
  try {
    return LastErrorText(what);
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

// The child's standard output, read as it comes and passed on byte for byte (no text mode).
void PassConsole(ChildProcess& child, Shared& shared) noexcept {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[4096];
  bool passing = true;
  for (;;) {
    DWORD got = 0;
    // The end of the child's output: ERROR_BROKEN_PIPE, or nothing read.
    if (!ReadFile(child.Output(), buffer, sizeof buffer, &got, nullptr)) {
      if (GetLastError() != ERROR_BROKEN_PIPE) {
        // Said at once, as the service may run on for hours; the capture is incomplete.
        const std::string failure = FailureText("cannot read the program's output");
        std::lock_guard lock(shared.mutex);
        StartOwnLine(shared);
        std::fprintf(stderr, "korvi-capture: %s; the program's further output is dropped\n",
                     failure.empty() ? "cannot read the program's output" : failure.c_str());
        shared.readFailed = true;
      }
      break;
    }
    if (got == 0) break;
    const std::string_view bytes(buffer, got);
    try {
      std::lock_guard lock(shared.mutex);
      shared.capture.OnConsole(bytes, shared.clock.Now());
    } catch (const std::bad_alloc&) {
      // The figures lose this piece; the console must not.
    }
    // Once our standard output is gone, the pipe is still drained, so the child never blocks.
    if (passing && !WriteAll(out, bytes)) {
      passing = false;
      std::string failure = FailureText("cannot pass the child's output to standard output");
      std::lock_guard lock(shared.mutex);
      shared.passFailure = std::move(failure);
    } else if (passing) {
      std::lock_guard lock(shared.mutex);
      shared.consoleLineOpen = bytes.back() != '\n';
    }
  }
  // Nobody drains the pipe from here on. Closed, it makes the child's next write fail at once
  // (a service whose console fails keeps running); left open, that write would block once the
  // pipe is full and stall the service's loop.
  child.CloseOutput();
}

// The reading thread, joined on every path; before that the child and what it left are
// ended, so that the pipe reaches its end.
class ConsoleThread {
 public:
  ConsoleThread(ChildProcess& child, Shared& shared) : child_(child), thread_(PassConsole, std::ref(child), std::ref(shared)) {}
  ConsoleThread(const ConsoleThread&) = delete;
  ConsoleThread& operator=(const ConsoleThread&) = delete;
  ~ConsoleThread() { Join(); }
  void Join() noexcept {
    if (!thread_.joinable()) return;
    child_.EndAll();
    thread_.join();
  }

 private:
  ChildProcess& child_;
  std::thread thread_;
};

struct Tally {
  std::size_t foreign = 0;  // messages of other processes that write to the same channel
  std::size_t filled = 0;   // messages as long as the section allows, perhaps cut by the writer
};

void Receive(const DbwinChannel& channel, const ChildProcess& child, OutputFile* debugFile, Shared& shared,
             Tally& tally) {
  const DebugMessage message = channel.Take();
  // Hand the buffer back before writing, so that the writer waits as briefly as possible.
  channel.HandBack();
  // The tally and the debug file under the lock too: the close handler reports them.
  std::lock_guard lock(shared.mutex);
  if (message.processId != child.Id()) {
    ++tally.foreign;
    return;
  }
  if (message.text.size() == DbwinChannel::kTextRoom - 1) ++tally.filled;
  if (shared.capture.over()) return;  // the close handler has given the summary
  const std::string text = Utf8FromAnsi(message.text);
  shared.capture.OnDebug(text, shared.clock.Now());
  // The same escaping as the simulated notebook's debug file: one message, one line.
  if (debugFile != nullptr) debugFile->WriteLine(os::OneLine(text));
}

// Takes the child's debug messages until it ends; returns the stamp of its end.
std::int64_t Watch(const DbwinChannel& channel, const ChildProcess& child, OutputFile* debugFile, Shared& shared,
                   Tally& tally) {
  // A message waiting and the child's end at once: the wait names the message first.
  const HANDLE waits[] = {channel.DataReady(), child.Process()};
  std::int64_t endedUs = 0;
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) {
      Receive(channel, child, debugFile, shared, tally);
    } else if (woken == WAIT_OBJECT_0 + 1) {
      std::lock_guard lock(shared.mutex);
      endedUs = shared.clock.Now();
      break;
    } else {
      throw CaptureError(LastErrorText("cannot wait for the program or its messages"));
    }
  }
  // A writer sets DBWIN_DATA_READY before its OutputDebugString returns, so once the child
  // has ended its last message, if any, is already signalled.
  while (WaitForSingleObject(channel.DataReady(), 0) == WAIT_OBJECT_0) Receive(channel, child, debugFile, shared, tally);
  return endedUs;
}

// What the console control handler needs to end a capture early. The handler runs on a
// thread of its own: it reaches the capture only under `mutex`, and Run unregisters under it
// before anything the capture holds goes away.
struct CloseTarget {
  std::mutex mutex;
  Shared* shared = nullptr;
  const Tally* tally = nullptr;
  const std::optional<OutputFile>* debugFile = nullptr;
  const std::optional<OutputFile>* trace = nullptr;
};
CloseTarget closeTarget;

// The summary and what went wrong, on stderr; the capture's exit code. Called with
// shared.mutex held, once (by whichever of Run and the close handler ends the capture).
int Report(Shared& shared, const Tally& tally, const std::optional<OutputFile>& debugFile,
           const std::optional<OutputFile>& trace, std::optional<DWORD> exitCode) {
  StartOwnLine(shared);
  std::fputs(shared.capture.summary().Text().c_str(), stderr);
  if (tally.foreign > 0) std::fprintf(stderr, "korvi-capture: ignored %zu messages of other processes\n", tally.foreign);
  if (tally.filled > 0) {
    std::fprintf(stderr, "korvi-capture: %zu messages filled the whole section (%zu bytes) and may have been cut\n",
                 tally.filled, DbwinChannel::kTextRoom - 1);
  }
  bool whole = !shared.readFailed;
  const std::optional<std::string> noFailure;
  const std::optional<std::string>* failures[] = {&shared.passFailure, debugFile ? &debugFile->failure() : &noFailure,
                                                  trace ? &trace->failure() : &noFailure};
  for (const std::optional<std::string>* failure : failures) {
    if (*failure) {
      std::fprintf(stderr, "korvi-capture: %s; what came after is missing\n",
                   (*failure)->empty() ? "cannot pass the child's output to standard output" : (*failure)->c_str());
      whole = false;
    }
  }
  std::fflush(stderr);
  return whole && exitCode ? static_cast<int>(*exitCode) : kExitCaptureFailed;
}

// Ctrl+C and Ctrl+Break reach the child too, which ends; the capture stays to record that end
// and give its summary. A handler, not the ignore flag, as the child would inherit the flag.
// Closing the console, logoff and shutdown end the capture whatever the handler returns, a
// few seconds after it is called: before that the records held for an open request (a
// firmware call that hangs is the case most worth keeping) and the summary are written.
// Logoff and shutdown come here only while the capture loads no user32.dll (a process that
// does gets window messages instead), so it links none.
BOOL WINAPI OutliveBreak(DWORD event) noexcept {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
  try {
    std::lock_guard target(closeTarget.mutex);
    if (closeTarget.shared == nullptr) return FALSE;  // Run has given its summary
    Shared& shared = *closeTarget.shared;
    std::lock_guard lock(shared.mutex);
    if (shared.capture.over()) return FALSE;  // Run is giving its summary
    try {
      shared.capture.OnAbandon(shared.clock.Now());
    } catch (const std::bad_alloc&) {
      // What could not be written is lost; the summary still goes out.
    }
    StartOwnLine(shared);
    std::fputs("korvi-capture: the console is closing (or the user logging off, or the system shutting down) while "
               "the program runs; its end is not recorded\n",
               stderr);
    Report(shared, *closeTarget.tally, *closeTarget.debugFile, *closeTarget.trace, std::nullopt);
  } catch (const std::exception&) {
    // No memory for the summary, or a lock the system refused: the process ends all the same.
  }
  return FALSE;
}

// Run's registration with the close handler, withdrawn on every path before Run's locals go.
class CloseRegistration {
 public:
  CloseRegistration(Shared& shared, const Tally& tally, const std::optional<OutputFile>& debugFile,
                    const std::optional<OutputFile>& trace) {
    std::lock_guard lock(closeTarget.mutex);
    closeTarget.shared = &shared;
    closeTarget.tally = &tally;
    closeTarget.debugFile = &debugFile;
    closeTarget.trace = &trace;
  }
  CloseRegistration(const CloseRegistration&) = delete;
  CloseRegistration& operator=(const CloseRegistration&) = delete;
  ~CloseRegistration() {
    std::lock_guard lock(closeTarget.mutex);
    closeTarget.shared = nullptr;
  }
};

int Run(int argc, wchar_t** argv) {
  const CommandLine line = ReadCommandLine(ArgumentForms(argc, argv));
  if (line.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  std::vector<std::wstring> command;
  if (line.program) {
    command.assign(argv + 1 + *line.program, argv + argc);
  } else {
    command.push_back(BesideUs(L"korvi-sar.exe"));
  }
  // Both files are opened before either is emptied, so that a refused one leaves an earlier
  // capture in the other as it was.
  std::optional<OutputFile> debugFile;
  std::optional<OutputFile> trace;
  if (line.debugFile) debugFile.emplace(argv[1 + *line.debugFile], "the debug file");
  if (line.trace) trace.emplace(argv[1 + *line.trace], "the trace");
  if (debugFile) debugFile->Empty();
  if (trace) trace->Empty();

  const DbwinChannel channel;
  channel.HandBack();
  ChildProcess child(command);
  Shared shared([&trace](const std::string& record) {
    if (trace) trace->WriteLine(record);
  });
  Tally tally;
  const CloseRegistration registration(shared, tally, debugFile, trace);
  SetConsoleCtrlHandler(OutliveBreak, TRUE);
  std::int64_t endedUs = 0;
  {
    // The clock starts as the child does; under the lock, as the close handler may read it.
    {
      std::lock_guard lock(shared.mutex);
      shared.clock.Start();
    }
    child.Resume();
    ConsoleThread console(child, shared);
    endedUs = Watch(channel, child, debugFile ? &*debugFile : nullptr, shared, tally);
    console.Join();
  }
  const DWORD exitCode = child.ExitCode();
  std::lock_guard lock(shared.mutex);
  if (shared.capture.over()) {
    // The close handler has given the summary; the process is about to end.
    return kExitCaptureFailed;
  }
  shared.capture.OnExit(exitCode, endedUs);
  return Report(shared, tally, debugFile, trace, exitCode);
}

}  // namespace
}  // namespace korvi::capture

int wmain(int argc, wchar_t** argv) {
  try {
    return korvi::capture::Run(argc, argv);
  } catch (const korvi::capture::CaptureError& error) {
    std::fprintf(stderr, "korvi-capture: %s\n", error.what());
    return error.ExitCode();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvi-capture: %s\n", error.what());
    return korvi::capture::kExitCaptureFailed;
  }
}
