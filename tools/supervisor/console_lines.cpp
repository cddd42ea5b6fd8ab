#include "console_lines.h"

namespace korvi::supervisor {

void ConsoleLines::Add(char byte, std::int64_t us, std::vector<ConsoleLine>& out) {
  if (byte == '\n') {
    out.push_back(ConsoleLine{std::move(line_), us, false});
    line_.clear();
    return;
  }
  line_ += byte;
  if (line_.size() == kLongestLine) {
    out.push_back(ConsoleLine{std::move(line_), us, true});
    line_.clear();
  }
}

std::vector<ConsoleLine> ConsoleLines::Feed(std::string_view bytes, std::int64_t us) {
  std::vector<ConsoleLine> out;
  for (const char byte : bytes) {
    if (pendingCr_) {
      pendingCr_ = false;
      if (byte == '\n') {
        Add('\n', us, out);
        continue;
      }
      Add('\r', lastUs_, out);  // a CR of its own is text
    }
    if (byte == '\r') {
      pendingCr_ = true;
      continue;
    }
    Add(byte, us, out);
  }
  lastUs_ = us;
  return out;
}

std::vector<ConsoleLine> ConsoleLines::Finish() {
  std::vector<ConsoleLine> out;
  if (pendingCr_) {
    pendingCr_ = false;
    Add('\r', lastUs_, out);
  }
  if (!line_.empty()) {
    out.push_back(ConsoleLine{std::move(line_), lastUs_, true});
    line_.clear();
  }
  return out;
}

}  // namespace korvi::supervisor
