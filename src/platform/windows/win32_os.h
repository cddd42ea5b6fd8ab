// Win32 behind the OS seam: an auto-reset event and its wait, a manual-reset event as each
// completion signal, Sleep, OutputDebugStringW, standard output through the C runtime in its
// normal text mode, and a named mutex as the one-instance lock.
#pragma once

#include <windows.h>
// wincon.h maps WriteConsole to WriteConsoleW, which would rename the seam's method in every
// file that sees both. Include this header before anything that includes os/os_platform.h
// after windows.h.
#undef WriteConsole

#include "os/os_platform.h"
#include "platform/windows/support/instance_lock.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

class Win32Os final : public os::OsPlatform {
 public:
  // The lock's name is the service's own; a test gives one of its own, so that it never meets
  // a service (or another test) running beside it.
  explicit Win32Os(const wchar_t* instanceLockName = kInstanceLockName) noexcept
      : instanceLockName_(instanceLockName) {}

  os::EventHandle CreateAutoResetEvent() noexcept override;
  bool SetEvent(os::EventHandle event) noexcept override;
  std::uint32_t WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept override;
  void CloseEvent(os::EventHandle event) noexcept override;
  void Sleep(std::uint32_t milliseconds) noexcept override;
  void WriteDebugOutput(const std::wstring& message) noexcept override;
  void WriteConsole(std::string_view text) noexcept override;
  os::InstanceLock AcquireInstanceLock() noexcept override;
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override;

 private:
  const wchar_t* const instanceLockName_;
  // The lock, once taken: held for as long as this platform lives, which for the service is
  // the whole process (it is never destroyed); the system lets go of it when the process ends.
  UniqueHandle instanceLock_;
};

}  // namespace korvi::windows
