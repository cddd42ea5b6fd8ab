// IUnknown and IInspectable for the fake providers' objects, and the boundary of every ABI
// method they implement.
//
// A fake object derives from ComObject<Self, Interfaces...>: it answers QueryInterface for
// each listed interface, IUnknown, IInspectable (when a listed interface derives from it) and
// IAgileObject (every fake is free-threaded, as the classes it stands in for are agile). It is
// a sim::CountedObject, so the summary at exit shows any fake that was never released. A class
// that defines kSelfIid also answers that private IID with a pointer to itself, which is how a
// fake recognises its own objects when the service hands them back (Unwrap).
#pragma once

#include <windows.h>
#include <inspectable.h>
#include <objidl.h>
#include <winstring.h>

#include <atomic>
#include <cwchar>
#include <new>
#include <type_traits>
#include <utility>

#include "cellular/platform_error.h"
#include "owned.h"
#include "platform/sim/models/object_count.h"

namespace korvi::fake {

// Runs the body of one ABI method. A failure of the simulated platform leaves as its result
// code; nothing leaves as an exception.
template <class Body>
HRESULT Guard(Body&& body) noexcept {
  try {
    return body();
  } catch (const cellular::PlatformError& error) {
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

template <class Self, class First, class... Rest>
class ComObject : public First, public Rest..., private sim::CountedObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAgileObject)) {
      *out = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (iid == __uuidof(IInspectable)) {
      *out = Inspectable();
    } else if (!Find<First, Rest...>(iid, out)) {
      if constexpr (requires { Self::kSelfIid; }) {
        if (iid == Self::kSelfIid) *out = static_cast<Self*>(this);
      }
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // A reference for a holder that keeps only a plain pointer (a weak one): fails once the
  // object has begun to go away.
  bool TryAddRef() noexcept {
    ULONG count = references_.load(std::memory_order_relaxed);
    while (count != 0) {
      if (references_.compare_exchange_weak(count, count + 1, std::memory_order_acquire)) return true;
    }
    return false;
  }

  // IInspectable, for the interfaces that derive from it.
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) noexcept {
    if (count == nullptr || iids == nullptr) return E_POINTER;
    constexpr ULONG kCount = ((std::is_base_of_v<IInspectable, First> ? 1 : 0) + ... +
                              (std::is_base_of_v<IInspectable, Rest> ? 1 : 0));
    *count = 0;
    *iids = static_cast<IID*>(CoTaskMemAlloc(sizeof(IID) * (kCount == 0 ? 1 : kCount)));
    if (*iids == nullptr) return E_OUTOFMEMORY;
    auto add = [&]<class Interface>() {
      if constexpr (std::is_base_of_v<IInspectable, Interface>) (*iids)[(*count)++] = __uuidof(Interface);
    };
    add.template operator()<First>();
    (add.template operator()<Rest>(), ...);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) noexcept {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    if constexpr (requires { Self::kRuntimeClassName; }) {
      return WindowsCreateString(Self::kRuntimeClassName, static_cast<UINT32>(std::wcslen(Self::kRuntimeClassName)),
                                 name);
    } else {
      return E_NOTIMPL;  // as the runtime's own factories answer
    }
  }

  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) noexcept {
    if (level == nullptr) return E_POINTER;
    *level = BaseTrust;
    return S_OK;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  template <class Interface, class... More>
  bool Find(REFIID iid, void** out) noexcept {
    if (iid == __uuidof(Interface)) {
      *out = static_cast<Interface*>(this);
      return true;
    }
    if constexpr (sizeof...(More) > 0) {
      return Find<More...>(iid, out);
    } else {
      return false;
    }
  }

  template <class Interface, class... More>
  void* FirstInspectable() noexcept {
    if constexpr (std::is_base_of_v<IInspectable, Interface>) {
      return static_cast<IInspectable*>(static_cast<Interface*>(this));
    } else if constexpr (sizeof...(More) > 0) {
      return FirstInspectable<More...>();
    } else {
      return nullptr;
    }
  }
  void* Inspectable() noexcept { return FirstInspectable<First, Rest...>(); }

  std::atomic<ULONG> references_{1};
};

// A new fake object, owned by the caller.
template <class Self, class... Args>
ComRef<Self> Make(Args&&... args) {
  return ComRef<Self>::Adopt(new Self(std::forward<Args>(args)...));
}

// Hands an owned object out through an ABI out-parameter as the interface the method returns.
template <class Interface, class Self>
HRESULT GiveOut(ComRef<Self> object, Interface** out) noexcept {
  *out = static_cast<Interface*>(object.Detach());
  return S_OK;
}

// The fake behind an interface pointer that the service handed back, or null when the pointer
// is not one of ours.
template <class Self>
ComRef<Self> Unwrap(IUnknown* object) noexcept {
  void* self = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(Self::kSelfIid, &self))) return {};
  return ComRef<Self>::Adopt(static_cast<Self*>(self));
}

}  // namespace korvi::fake
