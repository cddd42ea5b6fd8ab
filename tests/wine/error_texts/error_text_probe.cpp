// Prints, for each result code it is given, the text that follows the code in the service's
// debug messages in each build: the simulated platform's words (the Linux build) and the
// Windows platform's own (its ErrorText, under Wine that is Wine's FormatMessageW). Both are
// given as the debug file holds them: one line, "\n" and "\\" escaped, and the Windows text
// after the debug channel's trip through the code page. One line per code:
//
//   0x80070005<TAB>Access is denied.<TAB>Access denied.
//
// Usage: error-text-probe CODE... (each "0x" and eight hex digits). Exit code 2, with one line
// on stderr, for an argument that is no such code or a text that holds a tab.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "os/debug_line.h"
#include "os/text_encoding.h"
#include "platform/sim/models/error_text.h"
#include "platform/windows/error_text.h"

namespace {

std::optional<std::uint32_t> ParseCode(std::string_view text) {
  if (text.size() != 10 || text.substr(0, 2) != "0x") return std::nullopt;
  std::uint32_t code = 0;
  for (const char c : text.substr(2)) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    code = code * 16 + static_cast<std::uint32_t>(digit);
  }
  return code;
}

// OutputDebugStringW hands the monitor the text in the process's code page, and the monitor
// reads it back in that code page; a character the code page lacks does not come back.
std::wstring ThroughTheCodePage(const std::wstring& text) {
  if (text.empty()) return text;
  const int size = static_cast<int>(text.size());
  const int narrowLength = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(narrowLength > 0 ? narrowLength : 0, '\0');
  if (narrowLength > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), narrowLength, nullptr, nullptr);
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  std::wstring wide(wideLength > 0 ? wideLength : 0, L'\0');
  if (wideLength > 0) MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(), wideLength);
  return wide;
}

std::string AsInTheDebugFile(const std::wstring& text) { return korvi::os::OneLine(korvi::os::Utf8FromWide(text)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: error-text-probe CODE... (each 0x and eight hex digits)\n");
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // the table's lines end in LF alone
  std::string table;
  for (int i = 1; i < argc; ++i) {
    const std::optional<std::uint32_t> code = ParseCode(argv[i]);
    if (!code) {
      std::fprintf(stderr, "error-text-probe: argument %d: \"%s\" is not 0x and eight hex digits\n", i, argv[i]);
      return 2;
    }
    const std::string simulated = AsInTheDebugFile(korvi::sim::ErrorText(static_cast<std::int32_t>(*code)));
    const std::string platform =
        AsInTheDebugFile(ThroughTheCodePage(korvi::windows::ErrorText(static_cast<HRESULT>(*code))));
    if (simulated.find('\t') != std::string::npos || platform.find('\t') != std::string::npos) {
      std::fprintf(stderr, "error-text-probe: the text of 0x%08x holds a tab, which the table cannot carry\n",
                   static_cast<unsigned>(*code));
      return 2;
    }
    char hex[11];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(*code));
    table += std::string(hex) + '\t' + simulated + '\t' + platform + '\n';
  }
  std::fwrite(table.data(), 1, table.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 2;
}
