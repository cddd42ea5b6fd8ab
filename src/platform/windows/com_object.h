// The base of the COM objects that we hand to the platform (completion handlers, the
// transmission-state handler): a thread-safe reference count, and QueryInterface answering
// IUnknown, IAgileObject (the object may be called from any apartment) and the interface's own
// IID. Every method is noexcept: nothing we hand to the platform lets an exception out. Each
// one is counted as a live COM object from its birth to its deletion.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <atomic>

#include "platform/windows/live_objects.h"

namespace korvi::windows {

template <class Interface>
class ComObject : public Interface {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(Interface)) || IsEqualIID(iid, __uuidof(IUnknown)) ||
        IsEqualIID(iid, __uuidof(IAgileObject))) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() noexcept { LiveObjects::Add(LiveKind::kComObject); }  // born with the one reference its creator holds
  virtual ~ComObject() { LiveObjects::Remove(LiveKind::kComObject); }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace korvi::windows
