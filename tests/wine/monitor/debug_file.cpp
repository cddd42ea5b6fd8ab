#include "debug_file.h"

#include "monitor_error.h"
#include "platform/sim/files/debug_sink.h"

namespace korvi::monitor {
namespace {

std::wstring Widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
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

}  // namespace

std::string Utf8FromAnsi(std::string_view text) { return Utf8FromWide(Widen(text, CP_ACP)); }

DebugFile::DebugFile(const std::wstring& path)
    : path_(Utf8FromWide(path)),
      file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
  if (!file_) throw MonitorError(LastErrorText("cannot open the debug file \"" + path_ + "\""));
}

void DebugFile::Write(std::string_view ansiMessage) {
  // The same escaping as the simulated notebook's file sink: one message, one line.
  const std::string line = sim::OneLine(Utf8FromAnsi(ansiMessage)) + "\n";
  DWORD written = 0;
  if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) || written != line.size()) {
    throw MonitorError(LastErrorText("cannot write to the debug file \"" + path_ + "\""));
  }
}

}  // namespace korvi::monitor
