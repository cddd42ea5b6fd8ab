#include "arguments.h"

#include <windows.h>

#include "capture_error.h"

namespace korvi::capture {

// The arguments as the command line reader sees them: each UTF-16 unit on its own as one to
// three bytes (as UTF-8 encodes it), so ASCII stays ASCII, options are recognised, and two
// arguments have the same form only if they are the same. Every argument is then taken by
// its index, unconverted.
std::vector<std::string> ArgumentForms(int argc, wchar_t** argv) {
  std::vector<std::string> forms;
  for (int i = 1; i < argc; ++i) {
    std::string form;
    for (const wchar_t* at = argv[i]; *at != L'\0'; ++at) {
      const unsigned c = static_cast<unsigned>(*at) & 0xFFFF;
      if (c < 0x80) {
        form.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        form.push_back(static_cast<char>(0xC0 | (c >> 6)));
        form.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        form.push_back(static_cast<char>(0xE0 | (c >> 12)));
        form.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        form.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    forms.push_back(std::move(form));
  }
  return forms;
}

std::wstring BesideUs(const std::wstring& name) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw CaptureError(LastErrorText("cannot find the program's own folder"));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

}  // namespace korvi::capture
