// The name of the notebook's one-instance lock: a mutex in the Global namespace, so that a
// service started in another logon session (another user's, or a session-0 task) finds it
// too. The service makes it; the Wine bed's hook recognises it by this name.
#pragma once

namespace korvi::windows {

inline constexpr wchar_t kInstanceLockName[] = L"Global\\KorviSar.OneInstance";

}  // namespace korvi::windows
