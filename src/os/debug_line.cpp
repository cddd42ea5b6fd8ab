#include "os/debug_line.h"

namespace korvi::os {

std::string OneLine(std::string_view message) {
  std::string line;
  line.reserve(message.size());
  for (const char c : message) {
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\\') {
      line += "\\\\";
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace korvi::os
