// The base of the COM objects that we implement and hand to the platform: the service's
// completion handlers and transmission-state handler, the fake providers' objects.
//
// A class derives from ComObject<Self, Interfaces...>: a thread-safe reference count, born
// with the one reference its creator holds, and QueryInterface answering each listed
// interface, IUnknown, IAgileObject (the object may be called from any apartment),
// IInspectable (when a listed interface derives from it) and, for a Self that defines
// kSelfIid, that private IID with a pointer to Self (how a fake recognises its own objects
// when they are handed back). Every method is noexcept: nothing we hand to the platform lets
// an exception out. Each object is counted as a live COM object from its birth to its
// deletion.
#pragma once

#include <windows.h>
#include <inspectable.h>
#include <objidl.h>
#include <winstring.h>

#include <atomic>
#include <cwchar>
#include <type_traits>

#include "platform/windows/support/live_objects.h"

namespace korvi::windows {

template <class Self, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IAgileObject))) {
      *out = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (IsEqualIID(iid, __uuidof(IInspectable))) {
      *out = Inspectable();
    } else if (!Find<First, Rest...>(iid, out)) {
      if constexpr (requires { Self::kSelfIid; }) {
        if (IsEqualIID(iid, Self::kSelfIid)) *out = static_cast<Self*>(this);
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
    *iids = static_cast<IID*>(::CoTaskMemAlloc(sizeof(IID) * (kCount == 0 ? 1 : kCount)));
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
      return ::WindowsCreateString(Self::kRuntimeClassName,
                                   static_cast<UINT32>(std::wcslen(Self::kRuntimeClassName)), name);
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
  ComObject() noexcept { LiveObjects::Add(LiveKind::kComObject); }
  virtual ~ComObject() { LiveObjects::Remove(LiveKind::kComObject); }

 private:
  template <class Interface, class... More>
  bool Find(REFIID iid, void** out) noexcept {
    if (IsEqualIID(iid, __uuidof(Interface))) {
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

}  // namespace korvi::windows
