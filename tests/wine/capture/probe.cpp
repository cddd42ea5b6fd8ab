// capture-probe: a program for testing korvi-capture.
//
//   capture-probe talk            writes the messages check_capture.sh expects, ends with 42
//   capture-probe echo ARG...     prints each argument on a line of its own, ends with 0
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int kBurst = 1500;

void Burst(wchar_t tag) {
  wchar_t text[32];
  for (int i = 1; i <= kBurst; ++i) {
    std::swprintf(text, 32, L"%lc %04d", tag, i);
    OutputDebugStringW(text);
  }
}

int Talk() {
  // Standard output in the C runtime's text mode: "\n" leaves as "\r\n"; other bytes as they are.
  std::fputs("plain line\n", stdout);
  std::fputs("caf\xc3\xa9 bytes\n", stdout);
  std::fputs("no line break at the end", stdout);
  std::fflush(stdout);

  OutputDebugStringW(L"first");
  OutputDebugStringW(L"line one\nline two\r\\end\\");
  OutputDebugStringW(L"caf\u00e9 \u20ac");
  OutputDebugStringW(std::wstring(1199, L'L').c_str());
  OutputDebugStringW(std::wstring(4000, L'M').c_str());
  std::thread a(Burst, L'A');
  std::thread b(Burst, L'B');
  a.join();
  b.join();
  OutputDebugStringW(L"last before exit");
  return 42;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"talk") return Talk();
  if (mode == L"echo") {
    for (int i = 2; i < argc; ++i) std::printf("[%ls]\n", argv[i]);
    return 0;
  }
  std::fputs("usage: capture-probe talk | echo ARG...\n", stderr);
  return 2;
}
