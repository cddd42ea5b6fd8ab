// The test's side of the bed's instance gate (KORVI_WINE_INSTANCE_GATE, service_hooks.cpp): a
// named manual-reset event in the Wine prefix, waited on or set from a shell script.
//   bed_gate wait NAME SECONDS   exit 0 once NAME is set; 1 when SECONDS passed first
//   bed_gate set NAME            sets NAME (made if it is not there yet); exit 0
// Either side may come first: each makes the event or opens the one the other made.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: bed_gate wait NAME SECONDS | bed_gate set NAME\n");
  return 2;
}

std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string verb = argv[1];
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, Wide(argv[2]).c_str());
  if (event == nullptr) {
    std::fprintf(stderr, "bed_gate: the event %s could not be made (error %lu)\n", argv[2], GetLastError());
    return 2;
  }
  int code = 0;
  if (verb == "set" && argc == 3) {
    code = SetEvent(event) ? 0 : 2;
  } else if (verb == "wait" && argc == 4) {
    char* end = nullptr;
    const long seconds = std::strtol(argv[3], &end, 10);
    if (end == argv[3] || *end != '\0' || seconds <= 0 || seconds > 3600) {
      CloseHandle(event);
      return Usage();
    }
    const DWORD waited = WaitForSingleObject(event, static_cast<DWORD>(seconds) * 1000);
    if (waited != WAIT_OBJECT_0) {
      std::fprintf(stderr, "bed_gate: %s was not set within %ld s\n", argv[2], seconds);
      code = 1;
    }
  } else {
    code = Usage();
  }
  CloseHandle(event);
  return code;
}
