#include "child_process.h"

#include "capture_error.h"

namespace korvi::capture {
namespace {

// The standard handles must be inheritable for STARTF_USESTDHANDLES to pass them on. A
// missing one (a closed stream) stays missing.
void MakeInheritable(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
}

// A job that ends the child with the capture. Without job support the child just runs
// unattached, which only matters if the capture dies first.
windows::UniqueHandle KillOnCloseJob() {
  windows::UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    return windows::UniqueHandle();
  }
  return job;
}

}  // namespace

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  // Backslashes count only before a quote: there they are doubled, and one more escapes the
  // quote itself; the closing quote needs the same for the backslashes before it.
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

ChildProcess::ChildProcess(const std::vector<std::wstring>& arguments, ChildOptions options) : name_(Utf8FromWide(arguments.front())) {
  std::wstring commandLine;
  for (const std::wstring& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += QuoteArgument(argument);
  }

  // The pipe's write end goes to the child alone: ours is closed once it has started, so the
  // read end sees the end of the stream when the child's output closes.
  windows::UniqueHandle writeEnd;
  {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inheritable, 0)) throw CaptureError(LastErrorText("cannot create the output pipe"));
    output_.Reset(read);
    writeEnd.Reset(write);
  }
  if (!SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0)) {
    throw CaptureError(LastErrorText("cannot keep the pipe's read end from the child"));
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = options.errorOnPipe ? writeEnd.get() : GetStdHandle(STD_ERROR_HANDLE);
  MakeInheritable(startup.hStdInput);
  if (!options.errorOnPipe) MakeInheritable(startup.hStdError);

  // Suspended until it is in the job, so that not one instruction runs outside it.
  PROCESS_INFORMATION started{};
  const DWORD flags = CREATE_SUSPENDED | (options.noWindow ? CREATE_NO_WINDOW : 0);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                      &started)) {
    throw CaptureError(LastErrorText("cannot start \"" + name_ + "\""), kExitCannotStart);
  }
  process_.Reset(started.hProcess);
  thread_.Reset(started.hThread);
  id_ = started.dwProcessId;

  job_ = KillOnCloseJob();
  if (job_ && !AssignProcessToJobObject(job_.get(), process_.get())) job_.Reset();
}

void ChildProcess::Resume() {
  if (ResumeThread(thread_.get()) == static_cast<DWORD>(-1)) {
    const std::string text = LastErrorText("cannot resume \"" + name_ + "\"");
    TerminateProcess(process_.get(), kExitCannotStart);
    throw CaptureError(text, kExitCannotStart);
  }
  thread_.Reset();
}

DWORD ChildProcess::ExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.get(), &code)) throw CaptureError(LastErrorText("cannot read the program's exit code"));
  return code;
}

void ChildProcess::EndAll() noexcept {
  if (job_) TerminateJobObject(job_.get(), kExitCaptureFailed);
  if (process_) TerminateProcess(process_.get(), kExitCaptureFailed);  // no job, or not in it
}

}  // namespace korvi::capture
