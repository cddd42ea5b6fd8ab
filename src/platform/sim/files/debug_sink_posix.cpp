// The one file of the simulated notebook that uses POSIX calls: appending whole lines to the
// debug file, and the system log.
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "os/debug_line.h"
#include "platform/sim/files/debug_sink.h"
#include "platform/sim/files/own_file.h"
#include "platform/sim/files/shown_input.h"
#include "platform/sim/files/write_failure.h"

namespace korvi::sim {
namespace {

class FileSink final : public DebugSink {
 public:
  FileSink(OwnFile file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
  void Write(std::string_view utf8Message) noexcept override {
    try {
      const std::string line = os::OneLine(utf8Message) + "\n";
      // O_APPEND and one write per message: lines from two threads never interleave.
      std::size_t written = 0;
      while (written < line.size()) {
        errno = 0;
        const ssize_t n = ::write(file_.fd(), line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          // The message is lost; the run goes on, and its end says the log is incomplete.
          failure_.Record(n < 0 ? errno : 0);
          return;
        }
        written += static_cast<std::size_t>(n);
      }
    } catch (...) {
      failure_.Record(ENOMEM);
    }
  }
  void ReportFailure(std::ostream& out) const override { failure_.Report(out, "debug log", path_); }

 private:
  OwnFile file_;
  std::string path_;
  WriteFailure failure_;
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
  try {
    return std::make_unique<FileSink>(OwnFile::Open(path, OwnFile::Use::kAppend), path);
  } catch (const OpenRefused& refused) {
    throw std::runtime_error("KORVI_DEBUG_LOG: cannot open \"" + ShownPath(path) + "\": " + refused.what());
  }
}

std::unique_ptr<DebugSink> DebugSink::SystemLog() { return std::make_unique<SystemLogSink>(); }

}  // namespace korvi::sim
