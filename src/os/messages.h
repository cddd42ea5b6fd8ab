// The two message channels: the console (standard output) and the platform's debug channel.
#pragma once

namespace korvi {

// Formats with the narrow printf rules and writes the result to standard output in one write.
void WriteConsoleMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Formats with the wide printf rules into one string that grows to fit (nothing is cut) and
// hands the whole string to the debug-output call. No line break is added.
void WriteDebugMessage(const wchar_t* format, ...);

}  // namespace korvi
