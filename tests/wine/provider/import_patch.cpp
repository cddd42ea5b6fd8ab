#include "import_patch.h"

#include <cstring>
#include <utility>

namespace korvi::fake {
namespace {

// Writes one table entry; the table lies in a read-only section once the loader is done.
bool WriteSlot(void** entry, void* value) noexcept {
  DWORD oldProtection = 0;
  if (!VirtualProtect(entry, sizeof(void*), PAGE_READWRITE, &oldProtection)) return false;
  InterlockedExchangePointer(entry, value);
  DWORD ignored = 0;
  VirtualProtect(entry, sizeof(void*), oldProtection, &ignored);
  FlushInstructionCache(GetCurrentProcess(), entry, sizeof(void*));
  return true;
}

}  // namespace

std::vector<void**> FindImportSlots(HMODULE module, const char* function) noexcept {
  std::vector<void**> found;
  if (module == nullptr || function == nullptr) return found;
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return found;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return found;
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return found;
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0 || directory.Size < sizeof(IMAGE_IMPORT_DESCRIPTOR)) return found;

  const std::size_t descriptors = directory.Size / sizeof(IMAGE_IMPORT_DESCRIPTOR);
  const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  try {
    for (std::size_t d = 0; d < descriptors && descriptor[d].Name != 0; ++d) {
      // Without the name table (a bound image) the names are gone; such a module is skipped.
      if (descriptor[d].OriginalFirstThunk == 0 || descriptor[d].FirstThunk == 0) continue;
      const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor[d].OriginalFirstThunk);
      auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor[d].FirstThunk);
      for (std::size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
        if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) continue;
        const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
          found.push_back(reinterpret_cast<void**>(&addresses[i].u1.Function));
        }
      }
    }
  } catch (...) {
    found.clear();  // out of memory: patch nothing rather than part of the slots
  }
  return found;
}

ImportPatch::ImportPatch(HMODULE module, const char* function, void* replacement) noexcept
    : replacement_(replacement) {
  for (void** entry : FindImportSlots(module, function)) {
    void* original = *entry;
    if (original == replacement) continue;
    if (original_ != nullptr && original != original_) continue;  // one original to call on
    try {
      slots_.reserve(slots_.size() + 1);
    } catch (...) {
      break;
    }
    if (!WriteSlot(entry, replacement)) continue;
    original_ = original;
    slots_.push_back(Slot{entry, original});
  }
  if (slots_.empty()) original_ = nullptr;
}

ImportPatch::ImportPatch(ImportPatch&& other) noexcept
    : slots_(std::move(other.slots_)),
      original_(std::exchange(other.original_, nullptr)),
      replacement_(std::exchange(other.replacement_, nullptr)) {
  other.slots_.clear();
}

ImportPatch& ImportPatch::operator=(ImportPatch&& other) noexcept {
  if (this != &other) {
    Restore();
    slots_ = std::move(other.slots_);
    other.slots_.clear();
    original_ = std::exchange(other.original_, nullptr);
    replacement_ = std::exchange(other.replacement_, nullptr);
  }
  return *this;
}

void ImportPatch::Restore() noexcept {
  for (const Slot& slot : slots_) {
    if (*slot.entry == replacement_) WriteSlot(slot.entry, slot.original);
  }
  slots_.clear();
  original_ = nullptr;
}

}  // namespace korvi::fake
