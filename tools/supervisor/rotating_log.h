// The field log on disk, held to a fixed total: the current file korvi-supervisor.log and at
// most files-1 older ones (korvi-supervisor.1.log the newest of them). A line that would take
// the current file past its size starts a new one: each older file moves one number up, the
// oldest is dropped. So the log never holds more than files x fileBytes, and a notebook that
// runs for years keeps its latest weeks.
//
// A write that fails never ends anything: the line is counted as lost and the next write
// tries again, reopening the file. Each line goes to the C library in one piece and never
// across two files.
//
// A header line (the supervisor's run record, which names its build) opens every file the log
// starts, and precedes this process's first line in a file an earlier supervisor left, so that
// every line of the log follows a record of the build that wrote it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvi::supervisor {

inline constexpr std::size_t kLogFileBytes = 1024 * 1024;
inline constexpr int kLogFiles = 4;

class RotatingLog {
 public:
  // A header that would leave a file no room for a line is not written.
  RotatingLog(std::filesystem::path folder, std::size_t fileBytes = kLogFileBytes, int files = kLogFiles,
              std::string header = {});
  ~RotatingLog();
  RotatingLog(const RotatingLog&) = delete;
  RotatingLog& operator=(const RotatingLog&) = delete;

  // Appends `line` (no line break of its own; one is added). A line longer than a file (less
  // the header, where one goes first) is cut to fit: the callers' records are far shorter.
  void Write(std::string_view line) noexcept;
  // Hands what is written to the system, so that it outlives the process.
  void Flush() noexcept;

  std::size_t lostLines() const noexcept { return lost_; }
  std::filesystem::path FileName(int index) const;  // 0: the current file

 private:
  bool Open() noexcept;
  void Rotate() noexcept;
  std::size_t HeaderBytes() const noexcept;  // what the header still adds to the current file
  void Close() noexcept;

  std::filesystem::path folder_;
  std::size_t fileBytes_;
  int files_;
  std::FILE* file_ = nullptr;
  std::string header_;
  bool headed_ = false;   // the header is written in the current file
  std::size_t size_ = 0;  // of the current file
  std::size_t lost_ = 0;
};

}  // namespace korvi::supervisor
