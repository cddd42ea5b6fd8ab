#include "platform/windows/win32_os.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

#include "platform/windows/support/owners.h"

namespace korvi::windows {

os::EventHandle Win32Os::CreateAutoResetEvent() noexcept {
  return ::CreateEventW(nullptr, /*bManualReset=*/FALSE, /*bInitialState=*/FALSE, nullptr);
}

bool Win32Os::SetEvent(os::EventHandle event) noexcept { return event != nullptr && ::SetEvent(event) != FALSE; }

namespace {

// A seam time-out as a wait's milliseconds: INFINITE for none; INFINITE is 0xFFFFFFFF, so a
// longer bound is cut just below it rather than made endless, and a negative one is 0.
DWORD WaitMilliseconds(std::optional<std::chrono::milliseconds> timeout) noexcept {
  if (!timeout) return INFINITE;
  return static_cast<DWORD>(std::clamp<std::int64_t>(timeout->count(), 0, INFINITE - 1));
}

}  // namespace

std::uint32_t Win32Os::WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept {
  // A null handle (the event that could not be made) is no live event: the wait answers
  // WAIT_FAILED with ERROR_INVALID_HANDLE, as for a closed one.
  return ::WaitForSingleObject(event, WaitMilliseconds(timeout));
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

os::InstanceLock Win32Os::AcquireInstanceLock() noexcept {
  if (instanceLock_) return os::InstanceLock::kAcquired;
  HANDLE made = ::CreateMutexW(nullptr, /*bInitialOwner=*/FALSE, instanceLockName_);
  const DWORD error = ::GetLastError();  // read before anything else can set it
  UniqueHandle mutex(made);
  if (mutex) {
    // Opened, not made: another process made it and still holds a handle to it.
    if (error == ERROR_ALREADY_EXISTS) return os::InstanceLock::kHeldElsewhere;
    instanceLock_ = std::move(mutex);
    return os::InstanceLock::kAcquired;
  }
  // A mutex of that name made in another logon session, whose security keeps us out.
  if (error == ERROR_ACCESS_DENIED) return os::InstanceLock::kHeldElsewhere;
  return os::InstanceLock::kUnavailable;
}

namespace {

// A manual-reset event that the completion callback sets and the waiting thread waits on,
// with the time-out in real milliseconds.
class EventCompletionSignal final : public os::CompletionSignal {
 public:
  explicit EventCompletionSignal(UniqueHandle event) noexcept : event_(std::move(event)) {}
  void Set() noexcept override { ::SetEvent(event_.get()); }
  bool Wait(std::optional<std::chrono::milliseconds> timeout) noexcept override {
    return ::WaitForSingleObject(event_.get(), WaitMilliseconds(timeout)) == WAIT_OBJECT_0;
  }

 private:
  const UniqueHandle event_;
};

}  // namespace

std::unique_ptr<os::CompletionSignal> Win32Os::CreateCompletionSignal() noexcept {
  UniqueHandle event(::CreateEventW(nullptr, /*bManualReset=*/TRUE, /*bInitialState=*/FALSE, nullptr));
  if (!event) return nullptr;
  return std::unique_ptr<os::CompletionSignal>(new (std::nothrow) EventCompletionSignal(std::move(event)));
}

}  // namespace korvi::windows
