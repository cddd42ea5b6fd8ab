// The one failure type of korvi-capture's Windows side: a one-line text for stderr and the
// exit code it ends with. Codes above any the service uses, as shells do: 125 for the
// capture's own trouble, 127 for a program that cannot be started.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace korvi::capture {

constexpr int kExitCaptureFailed = 125;
constexpr int kExitCannotStart = 127;

class CaptureError : public std::runtime_error {
 public:
  CaptureError(const std::string& what, int exitCode = kExitCaptureFailed)
      : std::runtime_error(what), exitCode_(exitCode) {}
  int ExitCode() const noexcept { return exitCode_; }

 private:
  int exitCode_;
};

// "<what>: <system text> (error <code>)" for the calling thread's last Win32 error.
std::string LastErrorText(const std::string& what);

// UTF-8 from UTF-16 and from the ANSI code page (the debug channel's text).
std::string Utf8FromWide(std::wstring_view text);
std::string Utf8FromAnsi(std::string_view text);

}  // namespace korvi::capture
