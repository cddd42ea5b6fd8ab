#include "platform/windows/wmi_platform.h"

#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <new>

#include "platform/windows/wmi_objects.h"

namespace korvi::windows {

using wlan_power::HResult;

HResult ComWmiPlatform::SysAllocString(const wchar_t* text, std::unique_ptr<wlan_power::WmiText>& out) noexcept {
  out.reset();
  // SysAllocString itself, as the seam names it. A scenario's SysAllocString faults count
  // these calls, the service's own texts, and nothing else: the copy of a value that Put makes
  // comes from SysAllocStringLen, and the Linux build's Put makes no text at all.
  UniqueBstr made(::SysAllocString(text));
  if (!made) return E_OUTOFMEMORY;
  out.reset(new (std::nothrow) WmiTextObject(std::move(made)));
  return out ? S_OK : E_OUTOFMEMORY;
}

HResult ComWmiPlatform::CoInitialize() noexcept { return ::CoInitialize(nullptr); }

void ComWmiPlatform::CoUninitialize() noexcept { ::CoUninitialize(); }

HResult ComWmiPlatform::CoInitializeSecurity() noexcept {
  return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                nullptr, EOAC_NONE, nullptr);
}

HResult ComWmiPlatform::CoCreateInstance(std::unique_ptr<wlan_power::WbemLocator>& locator) noexcept {
  locator.reset();
  ComPtr<IWbemLocator> created;
  const HRESULT code = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                          created.put_void());
  if (!created) return code;
  locator = WrapLocator(std::move(created));
  return locator ? code : E_OUTOFMEMORY;
}

}  // namespace korvi::windows
