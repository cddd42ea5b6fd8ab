// The kinds of platform object that the Windows platform holds, each a one-line alias of the
// one owner template.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winstring.h>

#include "platform/windows/owner.h"

namespace korvi::windows {

template <class Interface>
struct ComTraits {
  using Value = Interface*;
  static constexpr LiveKind kLive = LiveKind::kInterface;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { value->Release(); }
};

struct HStringTraits {
  using Value = HSTRING;
  static constexpr LiveKind kLive = LiveKind::kHString;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::WindowsDeleteString(value); }
};

struct BstrTraits {
  using Value = BSTR;
  static constexpr LiveKind kLive = LiveKind::kBstr;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& value) noexcept { return value != nullptr; }
  static void Free(Value& value) noexcept { ::SysFreeString(value); }
};

struct VariantTraits {
  using Value = VARIANT;
  static constexpr LiveKind kLive = LiveKind::kVariant;
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

template <class Interface>
using ComPtr = Owner<ComTraits<Interface>>;
using UniqueHString = Owner<HStringTraits>;
using UniqueBstr = Owner<BstrTraits>;
using UniqueVariant = Owner<VariantTraits>;
using UniqueHandle = Owner<HandleTraits>;
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
