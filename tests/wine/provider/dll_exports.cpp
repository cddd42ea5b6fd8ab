// The DLL's entry points: what Wine's runtime and COM call to reach the fake providers.
#include <windows.h>
#include <activation.h>
#include <objbase.h>

#include "activation_factories.h"
#include "com_object.h"
#include "service_hooks.h"
#include "wmi_fakes.h"

namespace {
// {4590F811-1D3A-11D0-891F-00AA004B2E24}
constexpr CLSID kClsidWbemLocator = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    // The executable's import table will point into this DLL: it must never be unloaded.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&DllMain), &pinned);
    korvi::fake::InstallServiceHooks();
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetActivationFactory(HSTRING classId, IActivationFactory** factory) {
  return korvi::fake::GetActivationFactory(classId, factory);
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsidWbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
  return korvi::fake::GetWbemLocatorClassObject(iid, out);
}

// The bed's executable hands over its release of the objects it keeps for the whole process
// (bed_preload.cpp), for a run that the notebook ends inside the service's wait.
extern "C" void WINAPI KorviBedReleaseProcessObjects(void (*release)() noexcept) {
  korvi::fake::SetProcessObjectsRelease(release);
}

// Never: the hooks in the executable's import table live here.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
