#include "platform/windows/win32_os.h"

#include <cstdio>

namespace korvi::windows {

os::EventHandle Win32Os::CreateAutoResetEvent() noexcept {
  return ::CreateEventW(nullptr, /*bManualReset=*/FALSE, /*bInitialState=*/FALSE, nullptr);
}

bool Win32Os::SetEvent(os::EventHandle event) noexcept { return event != nullptr && ::SetEvent(event) != FALSE; }

std::uint32_t Win32Os::WaitForEvent(os::EventHandle event) noexcept {
  // A null handle would be taken for no handle at all by some callers; it is no live event.
  if (event == nullptr) return os::kWaitFailed;
  return ::WaitForSingleObject(event, INFINITE);
}

void Win32Os::CloseEvent(os::EventHandle event) noexcept {
  if (event != nullptr) ::CloseHandle(event);
}

void Win32Os::Sleep(std::uint32_t milliseconds) noexcept { ::Sleep(milliseconds); }

void Win32Os::WriteDebugOutput(const std::wstring& message) noexcept { ::OutputDebugStringW(message.c_str()); }

void Win32Os::WriteConsole(std::string_view text) noexcept {
  // One fwrite is one locked write of the stream, so a message from the platform thread never
  // lands inside another one. The stream stays in text mode: "\n" reaches the console as CR LF.
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::chrono::steady_clock::duration Win32Os::RealTimeFor(std::chrono::milliseconds platformTime) const noexcept {
  return platformTime;
}

}  // namespace korvi::windows
