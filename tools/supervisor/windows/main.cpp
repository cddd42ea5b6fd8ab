// korvi-supervisor: starts korvi-sar.exe (or PROGRAM) with no console window, keeps a field
// log of its console and its lives, and starts it again whenever it ends, on the schedule of
// RestartPolicy. A GUI program with no window of its own: a hidden top-level window only
// receives the logon session's end, so the log is flushed before the session takes the
// process (and the service, in its kill-on-close job) away.
//
// Threads: the main one starts each life, waits for its end or a restart delay while it
// pumps the window's messages; one per life drains the child's pipe into the bounded queue
// at once; one writes the queue to the log, so a slow disk never reaches the pipe
// (log_writer.h). The hidden window and the waits that answer it: session_window.h.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "capture_error.h"
#include "child_process.h"
#include "command_line.h"
#include "log_records.h"
#include "log_writer.h"
#include "monotonic_clock.h"
#include "platform/windows/support/owners.h"
#include "restart_policy.h"
#include "rotating_log.h"
#include "session_window.h"

namespace korvi::supervisor {
namespace {

constexpr int kExitBadOption = 2;
constexpr int kExitAnotherSupervisor = 3;
constexpr std::size_t kQueueBytes = 1024 * 1024;

// Microseconds since the supervisor started.
using Clock = capture::MonotonicClock;

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
  queue.Put(LineInput{NoteRecord(WallMs(), "ends", SessionEnding() ? "the logon session ends" : "the lives asked for are over")});
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
