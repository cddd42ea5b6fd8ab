// The file the monitor writes the captured messages to: one line per message, UTF-8, in the
// form the simulated notebook's debug file has, so both compare with the same expected files.
#pragma once

#include <string>
#include <string_view>

#include "win_handle.h"

namespace korvi::monitor {

// The channel's ANSI text (the writer's code page) as UTF-8. A character the writer's code
// page could not hold already arrived as the code page's default character, usually "?".
std::string Utf8FromAnsi(std::string_view text);

class DebugFile {
 public:
  explicit DebugFile(const std::wstring& path);  // creates or empties it; throws MonitorError

  // Appends the message as one line: a line break inside it as "\n", a carriage return as
  // "\r", a backslash as "\\".
  void Write(std::string_view ansiMessage);

 private:
  std::string path_;
  Handle file_;
};

}  // namespace korvi::monitor
