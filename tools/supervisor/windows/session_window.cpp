#include "session_window.h"

#include <new>
#include <string>

#include "log_records.h"

namespace korvi::supervisor {
namespace {

// Windows gives a session's processes about five seconds after WM_ENDSESSION.
constexpr DWORD kFlushWaitMs = 4000;

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

void PumpMessages() noexcept {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

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

SessionRegistration::SessionRegistration(Queue& queue) noexcept { session.queue = &queue; }
SessionRegistration::~SessionRegistration() { session.queue = nullptr; }

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

bool SessionEnding() noexcept { return session.ending; }

}  // namespace korvi::supervisor
