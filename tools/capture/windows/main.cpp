// korvi-capture: the field-capture tool. Runs the service (or PROGRAM) as its child, passes
// the child's standard output through unchanged, takes the child's debug messages as a
// debug-output viewer does, stamps every message on arrival with the monotonic
// high-resolution clock, and writes the debug file, the trace and, on stderr, the summary.
// Ends with the child's exit code, 125 for its own trouble, 127 for a program that cannot be
// started. The reading of the two streams is the portable CaptureSession; this is the thin
// Windows side.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture_error.h"
#include "capture_session.h"
#include "child_process.h"
#include "command_line.h"
#include "dbwin_channel.h"
#include "output_file.h"
#include "platform/sim/files/debug_sink.h"

namespace korvi::capture {
namespace {

// Microseconds of QueryPerformanceCounter since Start.
class Clock {
 public:
  void Start() noexcept {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  std::int64_t Now() const noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart - start_.QuadPart;
    const std::int64_t perSecond = frequency_.QuadPart;
    return ticks / perSecond * 1'000'000 + ticks % perSecond * 1'000'000 / perSecond;
  }

 private:
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

// What the two threads share: the session is fed under the lock, each input stamped inside
// it, so the stamps reach the session in their order.
struct Shared {
  explicit Shared(CaptureSession::LineSink sink) : session(std::move(sink)) {}
  std::mutex mutex;
  Clock clock;
  CaptureSession session;
  std::optional<std::string> passFailure;  // standard output stopped taking the child's output
};

bool WriteAll(HANDLE to, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// The child's standard output, read as it comes and passed on byte for byte (no text mode).
void PassConsole(HANDLE pipe, Shared& shared) noexcept {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[4096];
  bool passing = true;
  for (;;) {
    DWORD got = 0;
    // The end of the child's output: ERROR_BROKEN_PIPE, or nothing read.
    if (!ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    const std::string_view bytes(buffer, got);
    try {
      std::lock_guard lock(shared.mutex);
      shared.session.OnConsole(bytes, shared.clock.Now());
    } catch (const std::bad_alloc&) {
      // The figures lose this piece; the console must not.
    }
    // Once our standard output is gone, the pipe is still drained, so the child never blocks.
    if (passing && !WriteAll(out, bytes)) {
      passing = false;
      std::string failure = LastErrorText("cannot pass the child's output to standard output");
      std::lock_guard lock(shared.mutex);
      shared.passFailure = std::move(failure);
    }
  }
}

// The reading thread, joined on every path; before that the child and what it left are
// ended, so that the pipe reaches its end.
class ConsoleThread {
 public:
  ConsoleThread(ChildProcess& child, Shared& shared) : child_(child), thread_(PassConsole, child.Output(), std::ref(shared)) {}
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
  if (message.processId != child.Id()) {
    ++tally.foreign;
    return;
  }
  if (message.text.size() == DbwinChannel::kTextRoom - 1) ++tally.filled;
  const std::string text = Utf8FromAnsi(message.text);
  {
    std::lock_guard lock(shared.mutex);
    shared.session.OnDebug(text, shared.clock.Now());
  }
  // The same escaping as the simulated notebook's debug file: one message, one line.
  if (debugFile != nullptr) debugFile->WriteLine(sim::OneLine(text));
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

// The arguments as the command line reader sees them: each UTF-16 unit on its own as one to
// three bytes (as UTF-8 encodes it), so ASCII stays ASCII, options are recognised, and two
// arguments have the same form only if they are the same. Every argument is then taken by
// its index, unconverted.
std::vector<std::string> ArgumentForms(int argc, wchar_t** argv) {
  std::vector<std::string> forms;
  for (int i = 1; i < argc; ++i) {
    std::string form;
    for (const wchar_t* at = argv[i]; *at != L'\0'; ++at) {
      const unsigned c = static_cast<unsigned>(*at) & 0xFFFF;
      if (c < 0x80) {
        form.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        form.push_back(static_cast<char>(0xC0 | (c >> 6)));
        form.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        form.push_back(static_cast<char>(0xE0 | (c >> 12)));
        form.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        form.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    forms.push_back(std::move(form));
  }
  return forms;
}

// korvi-sar.exe in the capture's own folder.
std::wstring ServiceBesideUs() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw CaptureError(LastErrorText("cannot find the capture's own folder"));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"korvi-sar.exe";
}

// Ctrl+C and Ctrl+Break reach the child too, which ends; the capture stays to record that end
// and give its summary. A handler, not the ignore flag, as the child would inherit the flag.
BOOL WINAPI OutliveBreak(DWORD event) noexcept { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

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
    command.push_back(ServiceBesideUs());
  }
  // Both files are opened before either is emptied, so that a refused one leaves an earlier
  // capture in the other as it was.
  std::optional<OutputFile> debugFile;
  std::optional<OutputFile> trace;
  if (line.debugFile) debugFile.emplace(argv[1 + *line.debugFile], "the debug file");
  if (line.trace) trace.emplace(argv[1 + *line.trace], "the trace");
  if (debugFile) debugFile->Empty();
  if (trace) trace->Empty();

  SetConsoleCtrlHandler(OutliveBreak, TRUE);
  const DbwinChannel channel;
  channel.HandBack();
  ChildProcess child(command);
  Shared shared([&trace](const std::string& record) {
    if (trace) trace->WriteLine(record);
  });
  Tally tally;
  std::int64_t endedUs = 0;
  {
    // The clock starts as the child does.
    shared.clock.Start();
    child.Resume();
    ConsoleThread console(child, shared);
    endedUs = Watch(channel, child, debugFile ? &*debugFile : nullptr, shared, tally);
    console.Join();
  }
  const DWORD exitCode = child.ExitCode();
  shared.session.OnExit(exitCode, endedUs);

  std::fputs(shared.session.summary().Text().c_str(), stderr);
  if (tally.foreign > 0) std::fprintf(stderr, "korvi-capture: ignored %zu messages of other processes\n", tally.foreign);
  if (tally.filled > 0) {
    std::fprintf(stderr, "korvi-capture: %zu messages filled the whole section (%zu bytes) and may have been cut\n",
                 tally.filled, DbwinChannel::kTextRoom - 1);
  }
  bool whole = true;
  const std::optional<std::string> noFailure;
  const std::optional<std::string>* failures[] = {&shared.passFailure, debugFile ? &debugFile->failure() : &noFailure,
                                                  trace ? &trace->failure() : &noFailure};
  for (const std::optional<std::string>* failure : failures) {
    if (*failure) {
      std::fprintf(stderr, "korvi-capture: %s; what came after is missing\n", (*failure)->c_str());
      whole = false;
    }
  }
  return whole ? static_cast<int>(exitCode) : kExitCaptureFailed;
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
