// The platform's own message text for a failing result code, and the one platform error that
// carries both.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace korvi::windows {

// The text the system's message table gives for the code (FormatMessageW, from the system,
// inserts ignored), with the trailing line break and blanks removed; "Unknown error" when the
// table has none.
std::wstring SystemMessageText(HRESULT code);

// The text for a code that a Windows Runtime call just returned on this thread: the restricted
// error information that the call left, when it is about this code, else SystemMessageText.
// Takes the error information off the thread either way, so none is left for a later call.
std::wstring ErrorText(HRESULT code);

// Drops trailing CR, LF, blanks and tabs; what comes before stays as the system wrote it.
std::wstring TrimTrailingBreaks(std::wstring_view text);

// Throws os::PlatformError with the code and ErrorText(code).
[[noreturn]] void ThrowPlatformError(HRESULT code);

// Throws for a failed code; a success code (S_OK, S_FALSE, ...) passes.
inline void Check(HRESULT code) {
  if (FAILED(code)) ThrowPlatformError(code);
}

}  // namespace korvi::windows
