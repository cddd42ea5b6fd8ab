// The two message channels: the console (standard output) and the platform's debug channel.
// Both formats are checked by the compiler: the console's by the format attribute, the debug
// channel's (wide, which the attribute cannot check) by os::WideFormat.
#pragma once

#include <type_traits>

#include "os/printf_format.h"
#include "os/wide_format.h"

namespace korvi {

// Formats with the narrow printf rules and writes the result to standard output in one write.
void WriteConsoleMessage(const char* format, ...) KORVI_PRINTF_FORMAT(1, 2);

// The writer behind WriteDebugMessage, which has checked the format against the arguments.
void WriteCheckedDebugMessage(const wchar_t* format, ...);

// Formats with the wide printf rules into one string that grows to fit (nothing is cut) and
// hands the whole string to the debug-output call. No line break is added.
template <class... Args>
void WriteDebugMessage(os::WideFormat<std::type_identity_t<Args>...> format, Args... args) {
  WriteCheckedDebugMessage(format.c_str(), args...);
}

}  // namespace korvi
