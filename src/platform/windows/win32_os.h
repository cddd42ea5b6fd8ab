// Win32 behind the OS seam: an auto-reset event and its wait, a manual-reset event as each
// completion signal, Sleep, OutputDebugStringW, and standard output through the C runtime in
// its normal text mode.
#pragma once

#include <windows.h>
// wincon.h maps WriteConsole to WriteConsoleW, which would rename the seam's method in every
// file that sees both. Include this header before anything that includes os/os_platform.h
// after windows.h.
#undef WriteConsole

#include "os/os_platform.h"

namespace korvi::windows {

class Win32Os final : public os::OsPlatform {
 public:
  os::EventHandle CreateAutoResetEvent() noexcept override;
  bool SetEvent(os::EventHandle event) noexcept override;
  std::uint32_t WaitForEvent(os::EventHandle event) noexcept override;
  void CloseEvent(os::EventHandle event) noexcept override;
  void Sleep(std::uint32_t milliseconds) noexcept override;
  void WriteDebugOutput(const std::wstring& message) noexcept override;
  void WriteConsole(std::string_view text) noexcept override;
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override;
};

}  // namespace korvi::windows
