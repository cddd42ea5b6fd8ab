// Checks of ImportPatch on this program's own import table, run under Wine: a patch sends the
// program's calls to the replacement, and every way a patch ends puts the original back.
#include <windows.h>

#include <cstdio>
#include <utility>

#include "import_patch.h"

namespace {

using korvi::fake::FindImportSlots;
using korvi::fake::ImportPatch;

int passed = 0;
int failed = 0;

void Expect(bool condition, const char* what) {
  if (condition) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what);
  }
}

DWORD WINAPI FakeTickCount() { return 4242; }
DWORD WINAPI OtherTickCount() { return 77; }
// A call through the import table: noinline, so that the compiler cannot keep the address.
__attribute__((noinline)) DWORD Ticks() { return GetTickCount(); }

}  // namespace

int main() {
  const HMODULE self = GetModuleHandleW(nullptr);
  void* const before = *FindImportSlots(self, "GetTickCount").front();

  {
    ImportPatch patch(self, "GetTickCount", reinterpret_cast<void*>(&FakeTickCount));
    Expect(patch.patched(), "a function the program imports is patched");
    Expect(patch.original() == before, "the patch keeps what the table held");
    Expect(Ticks() == 4242, "a call through the table reaches the replacement");
  }
  Expect(Ticks() != 4242 && *FindImportSlots(self, "GetTickCount").front() == before,
         "the end of a patch puts the original back");

  {
    ImportPatch first(self, "GetTickCount", reinterpret_cast<void*>(&FakeTickCount));
    ImportPatch moved(std::move(first));
    Expect(!first.patched() && moved.patched(), "a moved patch belongs to its new owner");
    first.Restore();  // the emptied patch has nothing to put back
    Expect(Ticks() == 4242, "restoring an emptied patch leaves the table alone");
  }
  Expect(*FindImportSlots(self, "GetTickCount").front() == before, "a moved patch restores once, at its end");

  {
    ImportPatch outer(self, "GetTickCount", reinterpret_cast<void*>(&FakeTickCount));
    {
      ImportPatch inner(self, "GetTickCount", reinterpret_cast<void*>(&OtherTickCount));
      Expect(inner.original() == reinterpret_cast<void*>(&FakeTickCount), "a second patch calls on the first");
      Expect(Ticks() == 77, "the second patch is in force");
    }
    Expect(Ticks() == 4242, "the end of the second patch brings back the first");
  }
  Expect(*FindImportSlots(self, "GetTickCount").front() == before, "nested patches end with the original");

  ImportPatch missing(self, "NoSuchFunctionAnywhere", reinterpret_cast<void*>(&FakeTickCount));
  Expect(!missing.patched() && missing.original() == nullptr, "a function the program does not import is left alone");
  Expect(FindImportSlots(nullptr, "GetTickCount").empty(), "no module, no slots");
  Expect(FindImportSlots(self, nullptr).empty(), "no name, no slots");

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
