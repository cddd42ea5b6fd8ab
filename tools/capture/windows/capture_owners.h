// The kinds of Win32 object korvi-capture holds beyond the project's own aliases
// (platform/windows/owners.h): each a traits struct and a one-line alias of the one owner.
#pragma once

#include <windows.h>

#include "platform/windows/owner.h"
#include "platform/windows/owners.h"

namespace korvi::capture {

using windows::UniqueHandle;

// A mutex this thread has acquired: released before its handle is closed, so the next waiter
// gets it plainly rather than abandoned.
struct HeldMutexTraits {
  using Value = HANDLE;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept {
    ::ReleaseMutex(value);
    ::CloseHandle(value);
  }
};

// A view of a file mapping.
struct MappedViewTraits {
  using Value = void*;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::UnmapViewOfFile(value); }
};

using HeldMutex = windows::Owner<HeldMutexTraits>;
using MappedView = windows::Owner<MappedViewTraits>;

}  // namespace korvi::capture
