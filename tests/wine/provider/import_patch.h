// Replaces one function that a loaded module imports, by rewriting the module's import
// address table, and puts the original back when the patch goes out of scope.
#pragma once

#include <windows.h>

#include <vector>

namespace korvi::fake {

class ImportPatch {
 public:
  ImportPatch() = default;
  // Points every import of `function` (by name, from whichever DLL) of `module` at
  // `replacement`. Leaves the patch empty when the module does not import the function by
  // name or its table cannot be written.
  ImportPatch(HMODULE module, const char* function, void* replacement) noexcept;
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  ImportPatch(ImportPatch&& other) noexcept;
  ImportPatch& operator=(ImportPatch&& other) noexcept;
  ~ImportPatch() { Restore(); }

  bool patched() const noexcept { return !slots_.empty(); }
  // What the table held before: the function to call on. Null when not patched.
  void* original() const noexcept { return original_; }
  // Puts the original back in every slot that still holds the replacement.
  void Restore() noexcept;

 private:
  struct Slot {
    void** entry;
    void* original;
  };
  std::vector<Slot> slots_;
  void* original_ = nullptr;
  void* replacement_ = nullptr;
};

// The import address table slots of `module` that import `function` by name.
std::vector<void**> FindImportSlots(HMODULE module, const char* function) noexcept;

}  // namespace korvi::fake
