// Any result code and any message text as a caught platform error, on its way to the debug
// file: rendered into the fixed 260-character text in each of its four forms, then converted
// to UTF-8 and escaped to one line as the simulated notebook's debug file writes it. And any
// text as a whole debug message, which is never cut. And the same units taken as UTF-16, as
// the modem gives its SIM identifier, converted to UTF-8.
//
// Input: one byte that picks the form, four bytes of code, then the text as 32-bit units
// (any value, invalid ones and NUL included, as a platform's text may hold).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cellular/cellular_state.h"
#include "check.h"
#include "os/debug_line.h"
#include "os/messages.h"
#include "os/os_platform.h"
#include "os/text_encoding.h"
#include "support/recording_os.h"
#include "utf8.h"

namespace {

using korvi::fuzz::IsUtf8;
using korvi::fuzz::Require;

// Each form as its operation reports it: the format reaches the report as a literal.
struct Form {
  void (*report)(const korvi::cellular::PlatformError& error);
  const char* prefix;  // before the code's eight digits
  const char* suffix;  // after the text
};
constexpr Form kForms[] = {
    {[](const korvi::cellular::PlatformError& e) { korvi::cellular::ReportCaughtError(L" 0x%08x - %ls", e); }, " 0x",
     ""},  // InitSAR
    {[](const korvi::cellular::PlatformError& e) { korvi::cellular::ReportCaughtError(L"0x%08x - %ls", e); }, "0x",
     ""},  // GetRadioState
    {[](const korvi::cellular::PlatformError& e) { korvi::cellular::ReportCaughtError(L"0x%08x - %ls\n", e); }, "0x",
     "\n"},  // TxStatusMonitor, StopTxStatusMonitor
};
constexpr std::size_t kBufferSize = 260;

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// The debug file's escaping undone: "\\n", "\\r" and "\\\\" back to what they stand for.
std::string Unescape(const std::string& line) {
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      text += line[i];
      continue;
    }
    Require(i + 1 < line.size(), "a backslash in the line starts an escape");
    const char next = line[++i];
    Require(next == 'n' || next == 'r' || next == '\\', "only line breaks and backslashes are escaped");
    text += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
  }
  return text;
}

// A message as the debug file keeps it: valid UTF-8, one line, and the escaping undone gives
// the UTF-8 back.
void CheckDebugLine(const std::wstring& message) {
  const std::string utf8 = korvi::os::Utf8FromWide(message);
  Require(IsUtf8(utf8), "the message converts to valid UTF-8");
  const std::string line = korvi::os::OneLine(utf8);
  Require(line.find_first_of("\n\r") == std::string::npos, "the message is one line in the file");
  Require(Unescape(line) == utf8, "the line gives the message back");
}

// Characters in UTF-8: every byte but the continuation bytes starts one.
std::size_t Utf8Characters(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Code points in UTF-16, an unpaired surrogate counting as one (it becomes U+FFFD).
std::size_t Utf16Characters(const std::u16string& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i, ++count) {
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
  }
  return count;
}

// The radio counts as on while the SIM identifier is not empty, so the conversion must
// neither drop nor add a character.
void CheckUtf16(const std::wstring& units) {
  std::u16string text;
  for (const wchar_t unit : units) text.push_back(static_cast<char16_t>(unit));
  const std::string utf8 = korvi::os::Utf8FromUtf16(text);
  Require(IsUtf8(utf8), "UTF-16 converts to valid UTF-8");
  Require(Utf8Characters(utf8) == Utf16Characters(text), "one UTF-8 character per UTF-16 code point");
}

// The one debug message that `write` sends, on a fake of the OS seam of its own (which
// installs itself); nothing goes to the console on the way.
template <class Write>
std::wstring OnlyDebugMessage(Write write) {
  korvi::testing::RecordingOs os;
  write();
  const std::vector<std::wstring> messages = os.DebugMessages();
  Require(messages.size() == 1, "one debug message per write");
  Require(os.Console().empty(), "no console output");
  return messages[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const Form& form = kForms[data[0] % std::size(kForms)];
  std::uint32_t code = 0;
  for (std::size_t i = 0; i < 4; ++i) code |= static_cast<std::uint32_t>(data[1 + i]) << (8 * i);
  std::wstring text;
  for (std::size_t at = 5; at + 4 <= size; at += 4) {
    std::uint32_t unit = 0;
    for (std::size_t i = 0; i < 4; ++i) unit |= static_cast<std::uint32_t>(data[at + i]) << (8 * i);
    text.push_back(static_cast<wchar_t>(unit));
  }

  // The error's text: the form with the code in eight lowercase hex digits and the message up
  // to its first NUL, cut to what the buffer holds.
  const std::wstring reported = OnlyDebugMessage([&] {
    form.report(korvi::cellular::PlatformError(static_cast<std::int32_t>(code), text));
  });
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(code));
  const std::wstring whole = Widen(form.prefix) + Widen(digits) + L" - " + text.substr(0, text.find(L'\0')) + Widen(form.suffix);
  Require(reported == whole.substr(0, kBufferSize - 1), "the text is the whole form, cut at the buffer's size");
  CheckDebugLine(reported);

  // A debug message of any length is written whole.
  const std::wstring written = OnlyDebugMessage([&] { korvi::WriteDebugMessage(L"%ls", text.c_str()); });
  Require(written == text.substr(0, text.find(L'\0')), "a debug message is never cut");
  CheckDebugLine(written);

  CheckUtf16(text);
  return 0;
}
