#include "capture_error.h"

#include "capture_owners.h"

namespace korvi::capture {

std::string LastErrorText(const std::string& what) {
  const DWORD code = GetLastError();
  windows::LocalMemPtr<char> text;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(static_cast<char**>(text.put())), 0, nullptr);
  std::string message = what + ": ";
  if (length > 0 && text) {
    std::string systemText(text.get(), length);
    // The system's texts end with a line break; the report must stay one line.
    while (!systemText.empty() && (systemText.back() == '\n' || systemText.back() == '\r' || systemText.back() == ' ')) {
      systemText.pop_back();
    }
    message += systemText + " ";
  }
  return message + "(error " + std::to_string(code) + ")";
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
  }
  return narrow;
}

std::string Utf8FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return Utf8FromWide(wide);
}

}  // namespace korvi::capture
