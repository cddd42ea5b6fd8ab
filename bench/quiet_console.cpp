#include "quiet_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace korvi::bench {
namespace {
[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("standard output: ") + what + ": " + std::strerror(errno));
}
}  // namespace

QuietConsole::QuietConsole() {
  std::fflush(stdout);
  const int saved = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0) Fail("cannot keep it");
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) {
    ::close(saved);
    if (null >= 0) ::close(null);
    Fail("cannot point it at /dev/null");
  }
  ::close(null);
  report_ = ::fdopen(saved, "w");
  if (report_ == nullptr) {
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    Fail("cannot write the report");
  }
}

QuietConsole::~QuietConsole() {
  std::fflush(stdout);
  std::fflush(report_);
  ::dup2(::fileno(report_), STDOUT_FILENO);
  std::fclose(report_);
}

}  // namespace korvi::bench
