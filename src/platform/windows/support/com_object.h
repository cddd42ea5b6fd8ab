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
//
// An object that says it is agile must also marshal as one: COM asks it for IMarshal before
// it hands the object to another apartment, and without an answer it would build a proxy
// that calls back through the apartment the object was made in (or fails to, for a handler
// made on a thread that has since left it). So every object aggregates the system's
// free-threaded marshaler, which hands the same pointer to every apartment of the process.
#pragma once

#include <windows.h>
#include <inspectable.h>
#include <objidl.h>
#include <winstring.h>

#include <atomic>
#include <cwchar>
#include <mutex>
#include <type_traits>

#include "platform/windows/support/live_objects.h"

namespace korvi::windows {

// The inner unknown of the free-threaded marshaler that one of our objects aggregates: made on
// the first request for IMarshal (most objects are never marshaled), once however many
// threads ask at the same time, and released with the object. Not one of our own COM objects,
// so not counted as one; its IMarshal's references are the outer object's.
class FreeThreadedMarshaler {
 public:
  FreeThreadedMarshaler() noexcept = default;
  FreeThreadedMarshaler(const FreeThreadedMarshaler&) = delete;
  FreeThreadedMarshaler& operator=(const FreeThreadedMarshaler&) = delete;
  ~FreeThreadedMarshaler() {
    if (IUnknown* inner = inner_.load(std::memory_order_acquire)) inner->Release();
  }

  // IMarshal for the outer object in *out; the marshaler's failure (its creation's, when it
  // cannot be made: the next request tries again) with null in *out.
  HRESULT QueryMarshal(IUnknown* outer, void** out) noexcept {
    IUnknown* inner = inner_.load(std::memory_order_acquire);
    if (inner == nullptr) {
      try {
        const std::lock_guard<std::mutex> hold(making_);
        inner = inner_.load(std::memory_order_acquire);
        if (inner == nullptr) {
          const HRESULT made = ::CoCreateFreeThreadedMarshaler(outer, &inner);
          if (FAILED(made) || inner == nullptr) return FAILED(made) ? made : E_UNEXPECTED;
          inner_.store(inner, std::memory_order_release);
        }
      } catch (...) {  // the lock could not be taken
        return E_UNEXPECTED;
      }
    }
    return inner->QueryInterface(__uuidof(IMarshal), out);
  }

 private:
  std::atomic<IUnknown*> inner_{nullptr};
  std::mutex making_;
};

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
    } else if (IsEqualIID(iid, __uuidof(IMarshal))) {
      // The marshaler's own IMarshal, which counts its references on this object.
      return marshaler_.QueryMarshal(static_cast<IUnknown*>(static_cast<First*>(this)), out);
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
  FreeThreadedMarshaler marshaler_;
};

}  // namespace korvi::windows
