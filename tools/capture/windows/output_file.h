// A file korvi-capture writes (the debug file, the trace), created or emptied at start. A
// write that fails does not end the capture, as that would end the service under it: the
// file stops there, and the first failure is kept for the report at the end.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "capture_owners.h"

namespace korvi::capture {

class OutputFile {
 public:
  // `role` names the file in messages ("the debug file"). Throws CaptureError if it cannot
  // be opened; that includes a file another OutputFile has open (the two outputs named by two
  // spellings of one path), as neither shares writing.
  OutputFile(const std::wstring& path, std::string role);

  // Appends `line` and a line break, in one write.
  void WriteLine(std::string_view line) noexcept;

  // "cannot write to the debug file "...": ..." after the first failed write.
  const std::optional<std::string>& failure() const noexcept { return failure_; }

 private:
  std::string role_;
  std::string path_;
  UniqueHandle file_;
  std::optional<std::string> failure_;
};

}  // namespace korvi::capture
