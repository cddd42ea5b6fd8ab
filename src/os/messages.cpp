#include "os/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "os/os_platform.h"

namespace korvi {

void WriteConsoleMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
    os::Platform().WriteConsole(text);
  }
  va_end(again);
}

void WriteCheckedDebugMessage(const wchar_t* format, ...) {
  // vswprintf cannot tell the length it needs, only that the buffer was too small, so the
  // buffer doubles until the whole message fits. "Too small" is a negative answer in the C
  // standard, but mingw-w64's answers the length it needed, as vsnprintf does, having written
  // only what fitted: so a length that did not fit below the buffer's end is too small as well.
  std::wstring text(256, L'\0');
  for (;;) {
    std::va_list args;
    va_start(args, format);
    const int length = std::vswprintf(text.data(), text.size(), format, args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) < text.size()) {
      text.resize(static_cast<std::size_t>(length));
      break;
    }
    if (text.size() >= (std::size_t{1} << 20)) return;  // a format that cannot be rendered at all
    text.assign(text.size() * 2, L'\0');
  }
  os::Platform().WriteDebugOutput(text);
}

}  // namespace korvi
