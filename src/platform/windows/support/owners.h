// The kinds of Windows platform object that the service, the fake providers, the capture
// tool and the tests hold, each a one-line alias of the one owner template. The kinds that
// LiveObjects knows are counted there while an owner holds them.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winstring.h>

#include "os/owner.h"
#include "platform/windows/support/live_objects.h"

namespace korvi::windows {

using os::Owner;

// Counts the values of one kind that owners hold.
template <LiveKind kKind>
struct LiveCounted {
  static void Count(int step) noexcept {
    if (step > 0) {
      LiveObjects::Add(kKind);
    } else {
      LiveObjects::Remove(kKind);
    }
  }
};

template <class Interface>
struct ComTraits : LiveCounted<LiveKind::kInterface> {
  using Value = Interface*;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void AddRef(Value value) noexcept { value->AddRef(); }
  static void Free(Value& value) noexcept { value->Release(); }
};

struct HStringTraits : LiveCounted<LiveKind::kHString> {
  using Value = HSTRING;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::WindowsDeleteString(value); }
};

struct BstrTraits : LiveCounted<LiveKind::kBstr> {
  using Value = BSTR;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::SysFreeString(value); }
};

struct VariantTraits : LiveCounted<LiveKind::kVariant> {
  using Value = VARIANT;
  static Value Empty() noexcept {
    VARIANT value;
    ::VariantInit(&value);
    return value;
  }
  static bool Holds(const Value& value) noexcept { return value.vt != VT_EMPTY; }
  static void Free(Value& value) noexcept { ::VariantClear(&value); }
};

struct HandleTraits {
  using Value = HANDLE;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void Free(Value& value) noexcept { ::CloseHandle(value); }
};

// A block that the callee allocated with CoTaskMemAlloc (CopyToByteArray's array).
template <class Element>
struct CoTaskMemTraits {
  using Value = Element*;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::CoTaskMemFree(value); }
};

// A block that the callee allocated with LocalAlloc (FormatMessageW's text).
template <class Element>
struct LocalMemTraits {
  using Value = Element*;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::LocalFree(value); }
};

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

template <class Interface>
using ComPtr = Owner<ComTraits<Interface>>;
using UniqueHString = Owner<HStringTraits>;
using UniqueBstr = Owner<BstrTraits>;
using UniqueVariant = Owner<VariantTraits>;
using UniqueHandle = Owner<HandleTraits>;
using HeldMutex = Owner<HeldMutexTraits>;
using MappedView = Owner<MappedViewTraits>;
template <class Element>
using CoTaskMemPtr = Owner<CoTaskMemTraits<Element>>;
template <class Element>
using LocalMemPtr = Owner<LocalMemTraits<Element>>;

// A new reference of our own to an object someone else holds.
template <class Interface>
ComPtr<Interface> Retain(Interface* object) noexcept {
  if (object != nullptr) object->AddRef();
  return ComPtr<Interface>(object);
}

// QueryInterface for Wanted; the result code, and the reference in `out` on success.
template <class Wanted, class Interface>
HRESULT QueryAs(Interface* object, ComPtr<Wanted>& out) noexcept {
  return object->QueryInterface(__uuidof(Wanted), out.put_void());
}

}  // namespace korvi::windows
