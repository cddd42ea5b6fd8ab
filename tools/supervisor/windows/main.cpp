// korvi-supervisor: starts korvi-sar.exe (or PROGRAM) with no console window, keeps a field
// log of its console and its lives, and starts it again whenever it ends, on the schedule of
// RestartPolicy. A GUI program with no window of its own: a hidden top-level window only
// receives the logon session's end, so the log is flushed before the session takes the
// process (and the service, in its kill-on-close job) away.
//
// Threads: the main one starts each life, waits for its end or a restart delay while it
// pumps the window's messages; one per life drains the child's pipe into the bounded queue
// at once; one writes the queue to the log, so a slow disk never reaches the pipe.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "arguments.h"
#include "bounded_queue.h"
#include "capture_error.h"
#include "child_process.h"
#include "command_line.h"
#include "life_recorder.h"
#include "monotonic_clock.h"
#include "log_records.h"
#include "platform/windows/support/owners.h"
#include "restart_policy.h"
#include "rotating_log.h"

namespace korvi::supervisor {
namespace {

constexpr int kExitBadOption = 2;
constexpr int kExitAnotherSupervisor = 3;
constexpr std::size_t kQueueBytes = 1024 * 1024;
// Windows gives a session's processes about five seconds after WM_ENDSESSION.
constexpr DWORD kFlushWaitMs = 4000;

std::int64_t WallMs() noexcept {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10'000 - 11'644'473'600'000;  // 100 ns since 1601 to ms since 1970
}

// Microseconds since the supervisor started.
using Clock = capture::MonotonicClock;

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

// The log's writer: takes the queue until it is closed, one life's recorder at a time.
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

// The child's output, read as it comes and handed to the queue, never waiting for the disk.
void DrainPipe(capture::ChildProcess& child, Queue& queue, const Clock& clock, std::int64_t startUs) noexcept {
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(child.Output(), buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    try {
      queue.Offer(ConsoleInput{std::string(buffer, got), clock.Now() - startUs}, got);
    } catch (const std::bad_alloc&) {
      // Dropped like a chunk past the bound, only not counted.
    }
  }
  child.CloseOutput();
}

// The session's end, as the hidden window hears of it.
struct SessionEnd {
  Queue* queue = nullptr;
  bool ending = false;
};
SessionEnd session;

LRESULT CALLBACK OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_QUERYENDSESSION) return TRUE;  // nothing here would keep the session
  if (message == WM_ENDSESSION) {
    if (wParam && session.queue != nullptr && !session.ending) {
      session.ending = true;
      // Flushed before this returns: after it, the session may end the process at any moment.
      const windows::UniqueHandle flushed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      try {
        session.queue->Put(LineInput{NoteRecord(WallMs(), "session-ends",
                                                "the logon session is ending: the supervisor and the service end with it")});
        if (flushed) {
          session.queue->Put(FlushInput{flushed.get()});
          WaitForSingleObject(flushed.get(), kFlushWaitMs);
        }
      } catch (const std::bad_alloc&) {
        // Nothing more can be said; what was queued before is written all the same.
      }
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct WindowTraits {
  using Value = HWND;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::DestroyWindow(value); }
};
using UniqueWindow = os::Owner<WindowTraits>;

// A top-level window that is never shown: message-only windows get no session messages.
// Empty when the system gives none (Wine without a display).
UniqueWindow HiddenWindow(HINSTANCE instance) {
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = OnMessage;
  type.hInstance = instance;
  type.lpszClassName = L"korvi-supervisor";
  if (RegisterClassExW(&type) == 0) return UniqueWindow();
  return UniqueWindow(CreateWindowExW(0, type.lpszClassName, L"korvi-supervisor", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, nullptr));
}

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

// The hidden window's way to the queue, withdrawn before the queue goes.
class SessionRegistration {
 public:
  explicit SessionRegistration(Queue& queue) noexcept { session.queue = &queue; }
  SessionRegistration(const SessionRegistration&) = delete;
  SessionRegistration& operator=(const SessionRegistration&) = delete;
  ~SessionRegistration() { session.queue = nullptr; }
};

void PumpMessages() noexcept {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Waits for `handle` (none: only the time) for at most `ms`, answering the window meanwhile.
// False when the session is ending.
bool WaitPumping(HANDLE handle, std::optional<ULONGLONG> ms) noexcept {
  const ULONGLONG deadline = ms ? GetTickCount64() + *ms : 0;
  for (;;) {
    PumpMessages();
    if (session.ending) return false;
    DWORD timeout = INFINITE;
    if (ms) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return true;
      timeout = static_cast<DWORD>(deadline - now);
    }
    const DWORD count = handle != nullptr ? 1 : 0;
    const DWORD woken = MsgWaitForMultipleObjects(count, &handle, FALSE, timeout, QS_ALLINPUT);
    if (count == 1 && woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_FAILED) Sleep(10);  // never spin on a wait that cannot be made
  }
}

// A bad option, where whoever started us can read it: our standard error if it leads
// somewhere (a redirection), else the console of the parent, if it has one.
void SayToParent(const std::string& text) noexcept {
  const std::string line = "korvi-supervisor: " + text + "\n";
  DWORD written = 0;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE &&
      WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    return;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  {
    const windows::UniqueHandle console(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (console) WriteFile(console.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  FreeConsole();
}

std::wstring DefaultLogFolder() {
  for (const wchar_t* variable : {L"LOCALAPPDATA", L"TEMP"}) {
    wchar_t value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(variable, value, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2) return std::wstring(value, length) + L"\\Korvi";
  }
  return capture::BesideUs(L"");
}

// One life: started, drained, waited for: its exit code (none: it never started), how long it
// ran, and whether the session's end cut it short.
struct LifeResult {
  std::optional<std::uint32_t> exitCode;
  milliseconds lasted{0};
  bool sessionEnded = false;
  std::string startFailure;
};

LifeResult RunLife(const std::vector<std::wstring>& command, Queue& queue, const Clock& clock) {
  LifeResult result;
  const std::int64_t startUs = clock.Now();
  std::optional<capture::ChildProcess> child;
  try {
    child.emplace(command, capture::ChildOptions{.errorOnPipe = true, .noWindow = true});
    child->Resume();
  } catch (const capture::CaptureError& error) {
    result.startFailure = error.what();
    return result;
  }
  std::thread drain(DrainPipe, std::ref(*child), std::ref(queue), std::cref(clock), startUs);
  const bool ended = WaitPumping(child->Process(), std::nullopt);
  // Whatever the child left holding the pipe goes too, so that the drain reaches its end.
  child->EndAll();
  drain.join();
  result.sessionEnded = !ended;
  result.lasted = milliseconds((clock.Now() - startUs) / 1000);
  try {
    result.exitCode = child->ExitCode();
  } catch (const capture::CaptureError& error) {
    result.startFailure = error.what();
  }
  return result;
}

std::string Utf8(const std::wstring& text) { return capture::Utf8FromWide(text); }

int Run(HINSTANCE instance) {
  const Clock clock;
  const std::vector<std::string> forms = capture::ArgumentForms(__argc, __wargv);
  CommandLine line;
  std::optional<std::string> usageError;
  try {
    line = ReadCommandLine(forms);
  } catch (const UsageError& error) {
    usageError = error.what();
    line.logDir = FindLogDir(forms);
  }
  const std::wstring folder = line.logDir ? std::wstring(__wargv[1 + *line.logDir]) : DefaultLogFolder();
  RotatingLog log(folder, kLogFileBytes, kLogFiles, RunRecord());
  if (usageError) {
    SayToParent(*usageError);
    log.Write(NoteRecord(WallMs(), "bad-option", *usageError));
    log.Flush();
    return kExitBadOption;
  }

  // One supervisor per logon session: two would start two services, and the second's would
  // only end with exit 3 every 30 s.
  const windows::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\korvi-supervisor"));
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    log.Write(NoteRecord(WallMs(), "another-supervisor",
                         "another supervisor already runs in this logon session: this one ends"));
    log.Flush();
    return kExitAnotherSupervisor;
  }

  std::vector<std::wstring> command;
  if (line.program) {
    command.assign(__wargv + 1 + *line.program, __wargv + __argc);
  } else {
    command.push_back(capture::BesideUs(L"korvi-sar.exe"));
  }
  std::string program;
  for (const std::wstring& argument : command) {
    if (!program.empty()) program += ' ';
    program += Utf8(argument);
  }

  Queue queue(kQueueBytes);
  const Writer writer(queue, log);
  const SessionRegistration registration(queue);
  const UniqueWindow window = HiddenWindow(instance);
  std::string started = "supervisor ";
  started += std::to_string(GetCurrentProcessId());
  started += " watching ";
  started += program;
  if (!window) started += " (no window: the session's end will not be heard)";
  queue.Put(LineInput{NoteRecord(WallMs(), "started", started)});

  RestartPolicy policy;
  for (unsigned lifeNumber = 1; !line.lives || lifeNumber <= *line.lives; ++lifeNumber) {
    const int life = static_cast<int>(lifeNumber);
    queue.Put(StartInput{life, WallMs(), program});
    const LifeResult result = RunLife(command, queue, clock);
    if (!result.exitCode && !result.startFailure.empty()) {
      queue.Put(LineInput{NoteRecord(WallMs(), "cannot-start", result.startFailure)});
    }
    if (result.sessionEnded) break;
    const Decision decision = policy.AfterLife(result.exitCode, result.lasted);
    const bool last = line.lives && lifeNumber == *line.lives;
    queue.Put(EndInput{LifeEnd{life, WallMs(), result.exitCode, result.lasted, decision.meaning, decision.delay, !last},
                       result.lasted.count() * 1000});
    if (last) break;
    if (!WaitPumping(nullptr, static_cast<ULONGLONG>(decision.delay.count()))) break;
  }
  queue.Put(LineInput{NoteRecord(WallMs(), "ends", session.ending ? "the logon session ends" : "the lives asked for are over")});
  return 0;
}

}  // namespace
}  // namespace korvi::supervisor

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    return korvi::supervisor::Run(instance);
  } catch (const std::exception& error) {
    korvi::supervisor::SayToParent(error.what());
    return 125;
  }
}
