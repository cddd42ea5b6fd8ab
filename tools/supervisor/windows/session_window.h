// The logon session's end, as a hidden top-level window hears of it: the log is flushed
// before the session may take the process, and every wait of the main thread answers the
// window meanwhile and ends early once the session is ending.
#pragma once

#include <windows.h>

#include <optional>

#include "log_writer.h"
#include "platform/windows/support/owners.h"

namespace korvi::supervisor {

struct WindowTraits {
  using Value = HWND;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::DestroyWindow(value); }
};
using UniqueWindow = os::Owner<WindowTraits>;

// A top-level window that is never shown: message-only windows get no session messages.
// Empty when the system gives none (Wine without a display).
UniqueWindow HiddenWindow(HINSTANCE instance);

// The hidden window's way to the queue, withdrawn before the queue goes.
class SessionRegistration {
 public:
  explicit SessionRegistration(Queue& queue) noexcept;
  SessionRegistration(const SessionRegistration&) = delete;
  SessionRegistration& operator=(const SessionRegistration&) = delete;
  ~SessionRegistration();
};

// Waits for `handle` (none: only the time) for at most `ms`, answering the window meanwhile.
// False when the session is ending.
bool WaitPumping(HANDLE handle, std::optional<ULONGLONG> ms) noexcept;

// The window has heard that the session ends.
bool SessionEnding() noexcept;

}  // namespace korvi::supervisor
