#include "platform/windows/winrt_activation.h"

#include <roapi.h>

#include "platform/windows/support/hstrings.h"

namespace korvi::windows {
namespace {

HRESULT LookUp(HSTRING className, REFIID iid, void** factory) noexcept {
  *factory = nullptr;
  return ::RoGetActivationFactory(className, iid, factory);
}

}  // namespace

HRESULT GetActivationFactory(const wchar_t* className, REFIID iid, void** factory) noexcept {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  UniqueHString name;
  const HRESULT made = CreateHString(className, name.put());
  if (FAILED(made)) return made;

  HRESULT code = LookUp(name.get(), iid, factory);
  if (code == CO_E_NOTINITIALIZED) {
    CO_MTA_USAGE_COOKIE cookie = nullptr;
    if (SUCCEEDED(::CoIncrementMTAUsage(&cookie))) code = LookUp(name.get(), iid, factory);
  }
  return code;
}

}  // namespace korvi::windows
