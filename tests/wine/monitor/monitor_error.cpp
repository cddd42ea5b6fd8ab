#include "monitor_error.h"

namespace korvi::monitor {

std::string LastErrorText(const std::string& what) {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = what + ": ";
  if (length > 0 && text != nullptr) {
    std::string systemText(text, length);
    // The system's texts end with a line break; the report must stay one line.
    while (!systemText.empty() && (systemText.back() == '\n' || systemText.back() == '\r' || systemText.back() == ' ')) {
      systemText.pop_back();
    }
    message += systemText + " ";
  }
  if (text != nullptr) LocalFree(text);
  return message + "(error " + std::to_string(code) + ")";
}

}  // namespace korvi::monitor
