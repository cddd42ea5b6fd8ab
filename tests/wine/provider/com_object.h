// The base of the fake providers' objects, and the boundary of every ABI method they implement.
//
// A fake object derives from ComObject<Self, Interfaces...>: the support library's COM object
// (every fake is agile, as the classes it stands in for are), and also a sim::CountedObject,
// so the notebook's summary at exit shows any fake that was never released. A class that
// defines kSelfIid is recognised when the service hands it back (Unwrap).
#pragma once

#include <windows.h>

#include <new>
#include <utility>

#include "os/platform_error.h"
#include "platform/sim/models/object_count.h"
#include "platform/windows/support/com_object.h"
#include "platform/windows/support/hstrings.h"
#include "platform/windows/support/owners.h"

namespace korvi::fake {

using windows::ComPtr;
using windows::CopyToBstr;
using windows::CreateHString;
using windows::Retain;
using windows::UniqueBstr;
using windows::UniqueHString;

// Runs the body of one ABI method. A failure of the simulated platform leaves as its result
// code; nothing leaves as an exception.
template <class Body>
HRESULT Guard(Body&& body) noexcept {
  try {
    return body();
  } catch (const os::PlatformError& error) {
    return static_cast<HRESULT>(error.code());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Checks an out-parameter and clears it, so that no failure path leaves garbage in it.
template <class T>
bool ClearOut(T* out) noexcept {
  if (out == nullptr) return false;
  *out = T{};
  return true;
}

template <class Self, class... Interfaces>
class ComObject : public windows::ComObject<Self, Interfaces...>, private sim::CountedObject {
 protected:
  ComObject() = default;
};

// A new fake object, owned by the caller.
template <class Self, class... Args>
ComPtr<Self> Make(Args&&... args) {
  return ComPtr<Self>(new Self(std::forward<Args>(args)...));
}

// Hands an owned object out through an ABI out-parameter as the interface the method returns.
template <class Interface, class Self>
HRESULT GiveOut(ComPtr<Self> object, Interface** out) noexcept {
  *out = static_cast<Interface*>(object.Release());
  return S_OK;
}

// The fake behind an interface pointer that the service handed back, or null when the pointer
// is not one of ours.
template <class Self>
ComPtr<Self> Unwrap(IUnknown* object) noexcept {
  void* self = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(Self::kSelfIid, &self))) return {};
  return ComPtr<Self>(static_cast<Self*>(self));
}

}  // namespace korvi::fake
