// The one file of the simulated notebook that uses POSIX calls: appending whole lines to the
// debug file, and the system log.
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/sim/debug_sink.h"

namespace korvi::sim {
namespace {

class FileSink final : public DebugSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  ~FileSink() override { ::close(fd_); }
  void Write(std::string_view utf8Message) noexcept override {
    try {
      const std::string line = OneLine(utf8Message) + "\n";
      // O_APPEND and one write per message: lines from two threads never interleave.
      std::size_t written = 0;
      while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a message that cannot be delivered is lost silently
        written += static_cast<std::size_t>(n);
      }
    } catch (...) {
    }
  }

 private:
  int fd_;
};

class SystemLogSink final : public DebugSink {
 public:
  SystemLogSink() { ::openlog("korvi-sar", LOG_PID, LOG_USER); }
  ~SystemLogSink() override { ::closelog(); }
  void Write(std::string_view utf8Message) noexcept override {
    try {
      const std::string message(utf8Message);
      ::syslog(LOG_DEBUG, "%s", message.c_str());
    } catch (...) {
    }
  }
};

}  // namespace

std::unique_ptr<DebugSink> DebugSink::OpenFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("KORVI_DEBUG_LOG: cannot open \"" + path + "\": " + std::strerror(errno));
  return std::make_unique<FileSink>(fd);
}

std::unique_ptr<DebugSink> DebugSink::SystemLog() { return std::make_unique<SystemLogSink>(); }

}  // namespace korvi::sim
