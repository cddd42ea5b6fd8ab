// A file korvi-capture writes (the debug file, the trace), created if missing and emptied
// only by Empty, once every file of the capture has been opened. A
// write that fails does not end the capture, as that would end the service under it: the
// file stops there, and the first failure is kept for the report at the end.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/windows/support/owners.h"

namespace korvi::capture {

// "cannot write to ROLE "PATH": it took N of M bytes without an error": a write that succeeded
// but took less than it was given has no system error to name.
std::string ShortWriteText(const std::string& role, const std::string& path, std::size_t written, std::size_t size);

class OutputFile {
 public:
  // `role` names the file in messages ("the debug file"). Throws CaptureError if it cannot
  // be opened; that includes a file another OutputFile has open (the two outputs named by two
  // spellings of one path), as neither shares writing.
  OutputFile(const std::wstring& path, std::string role);

  // Drops what the file held before. Throws CaptureError if it cannot.
  void Empty();

  // Appends `line` and a line break, in one write.
  void WriteLine(std::string_view line) noexcept;

  // "cannot write to the debug file "...": ..." after the first failed write.
  const std::optional<std::string>& failure() const noexcept { return failure_; }

 private:
  std::string role_;
  std::string path_;
  windows::UniqueHandle file_;
  std::optional<std::string> failure_;
};

}  // namespace korvi::capture
