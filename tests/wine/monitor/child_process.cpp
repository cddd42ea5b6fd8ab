#include "child_process.h"

#include "monitor_error.h"

namespace korvi::monitor {
namespace {

std::string Narrow(std::wstring_view text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
  }
  return narrow;
}

// The standard handles must be inheritable for STARTF_USESTDHANDLES to pass them on. A
// missing one (a closed stream) stays missing.
void MakeInheritable(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
}

// A job that ends the child with the monitor. Without job support the child just runs
// unattached, which only matters if the monitor dies first.
Handle KillOnCloseJob() {
  Handle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) return Handle();
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

ChildProcess::ChildProcess(const std::vector<std::wstring>& arguments) {
  std::wstring commandLine;
  for (const std::wstring& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += QuoteArgument(argument);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  MakeInheritable(startup.hStdInput);
  MakeInheritable(startup.hStdOutput);
  MakeInheritable(startup.hStdError);

  // Suspended until it is in the job, so that not one instruction runs outside it.
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &started)) {
    throw MonitorError(LastErrorText("cannot start \"" + Narrow(arguments.front()) + "\""), kExitCannotStart);
  }
  process_ = Handle(started.hProcess);
  const Handle thread(started.hThread);
  id_ = started.dwProcessId;

  job_ = KillOnCloseJob();
  if (job_ && !AssignProcessToJobObject(job_.get(), process_.get())) job_ = Handle();
  if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    const std::string text = LastErrorText("cannot resume \"" + Narrow(arguments.front()) + "\"");
    TerminateProcess(process_.get(), kExitCannotStart);
    throw MonitorError(text, kExitCannotStart);
  }
}

DWORD ChildProcess::ExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.get(), &code)) throw MonitorError(LastErrorText("cannot read the program's exit code"));
  return code;
}

}  // namespace korvi::monitor
