// The activation factory (statics) of a Windows Runtime class, looked up by its full name.
#pragma once

#include <windows.h>

#include "platform/windows/error_text.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

// RoGetActivationFactory(className, iid). The process-wide objects are looked up before the
// main thread has entered any apartment, where the runtime answers CO_E_NOTINITIALIZED: then
// one CoIncrementMTAUsage (never undone: it keeps the multithreaded apartment alive for the
// whole process) and one more lookup. Returns the last lookup's code.
HRESULT GetActivationFactory(const wchar_t* className, REFIID iid, void** factory) noexcept;

// The same, for the statics interface Statics; throws the platform error on failure.
template <class Statics>
ComPtr<Statics> GetStatics(const wchar_t* className);

template <class Statics>
ComPtr<Statics> GetStatics(const wchar_t* className) {
  ComPtr<Statics> statics;
  const HRESULT code = GetActivationFactory(className, __uuidof(Statics), statics.put_void());
  if (FAILED(code)) ThrowPlatformError(code);
  if (!statics) ThrowPlatformError(E_POINTER);
  return statics;
}

}  // namespace korvi::windows
