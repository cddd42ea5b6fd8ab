// Test-bed-only: korvi-sar.exe's kernel-object, sleep and process-level COM calls, routed
// through the simulated notebook.
//
// Why: on Linux the service reaches its event, its sleep and COM set-up through the
// simulated notebook's seams, and the notebook's scheduler lets the modem's world (transmission
// edges, notifications) advance only while the main thread is parked in a platform wait; so
// every notification's console message falls between the same two main-thread messages on
// every run, and the expected output depends on that. The Windows build calls the real
// CreateEventW, SetEvent, WaitForSingleObject, CloseHandle and Sleep, which these fake
// providers cannot see. So when this DLL is loaded it rewrites those entries of the
// executable's import table: the service's own event (the only auto-reset, unsignalled,
// unnamed event made with CreateEventW: the C++ runtime's threads library makes its events
// with CreateEventA) gets a twin event in the scheduler; a wait on it with no time-out by the
// thread that made it, and that thread's sleeps, park the scheduler's main-thread model as
// SimOs does, and the real event is kept in step. Every other call, from any other code of
// the executable (the threads library imports the same functions), goes straight to the real
// function.
//
// The same table entries inject the scenario's faults for the process-level calls that no
// fake object stands behind: RoInitialize, CoInitialize, CoInitializeSecurity, SysAllocString
// (see InstallServiceHooks) and the event and its wait (CreateEvent, WaitForTxEvent). Without a fault each calls the real
// function, so Wine's own COM still answers. Last, the C runtime's exit is hooked to stop the
// notebook and print its summary on stderr while the process is still whole, as the Linux
// build's main does after the service returns.
#include "service_hooks.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <roapi.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <map>

#include "import_patch.h"
#include "provider_notebook.h"

namespace korvi::fake {
namespace {

using CreateEventWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCWSTR);
using SetEventFn = BOOL(WINAPI*)(HANDLE);
using WaitForSingleObjectFn = DWORD(WINAPI*)(HANDLE, DWORD);
using CloseHandleFn = BOOL(WINAPI*)(HANDLE);
using SleepFn = void(WINAPI*)(DWORD);
using RoInitializeFn = HRESULT(WINAPI*)(RO_INIT_TYPE);
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoInitializeSecurityFn = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                                                DWORD, void*, DWORD, void*);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using ExitFn = void(__cdecl*)(int);

// The functions the table held before; set once, before any hook can run.
struct Originals {
  CreateEventWFn createEventW = nullptr;
  SetEventFn setEvent = nullptr;
  WaitForSingleObjectFn waitForSingleObject = nullptr;
  CloseHandleFn closeHandle = nullptr;
  SleepFn sleep = nullptr;
  RoInitializeFn roInitialize = nullptr;
  CoInitializeFn coInitialize = nullptr;
  CoInitializeSecurityFn coInitializeSecurity = nullptr;
  SysAllocStringFn sysAllocString = nullptr;
  ExitFn exit = nullptr;
};
Originals real;

// The service's events: the real handle it holds, and the scheduler's twin.
SRWLOCK eventsLock = SRWLOCK_INIT;
std::map<HANDLE, os::EventHandle>* events = nullptr;
// The thread that made the service's event: the service's main thread.
std::atomic<DWORD> mainThread{0};

bool OnMainThread() noexcept {
  const DWORD main = mainThread.load(std::memory_order_acquire);
  return main != 0 && main == GetCurrentThreadId();
}

// The twin of a real handle, or null; found == false when the handle is not the service's.
os::EventHandle TwinOf(HANDLE handle, bool& found) noexcept {
  AcquireSRWLockShared(&eventsLock);
  auto it = events->find(handle);
  found = it != events->end();
  os::EventHandle twin = found ? it->second : nullptr;
  ReleaseSRWLockShared(&eventsLock);
  return twin;
}

HANDLE WINAPI HookCreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                               LPCWSTR name) {
  if (attributes != nullptr || manualReset || initialState || name != nullptr) {
    return real.createEventW(attributes, manualReset, initialState, name);
  }
  ProviderNotebook& notebook = ProviderNotebook::Get();
  DWORD none = 0;
  mainThread.compare_exchange_strong(none, GetCurrentThreadId(), std::memory_order_acq_rel);
  os::EventHandle twin = notebook.os().CreateAutoResetEvent();  // the scenario's CreateEvent fault
  if (twin == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE event = real.createEventW(nullptr, FALSE, FALSE, nullptr);
  bool stored = false;
  if (event != nullptr) {
    AcquireSRWLockExclusive(&eventsLock);
    try {
      (*events)[event] = twin;
      stored = true;
    } catch (...) {
    }
    ReleaseSRWLockExclusive(&eventsLock);
  }
  if (!stored) {
    notebook.os().CloseEvent(twin);
    if (event != nullptr) real.closeHandle(event);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return event;
}

BOOL WINAPI HookSetEvent(HANDLE event) {
  bool ours = false;
  os::EventHandle twin = TwinOf(event, ours);
  // The real event first: once the twin is set the main thread may go on and consume it.
  const BOOL set = real.setEvent(event);
  if (ours) ProviderNotebook::Get().os().SetEvent(twin);
  return set;
}

DWORD WINAPI HookWaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (milliseconds != INFINITE || !OnMainThread()) return real.waitForSingleObject(handle, milliseconds);
  bool ours = false;
  os::EventHandle twin = TwinOf(handle, ours);
  // A null handle is the service's event that could not be made: its wait fails, as the
  // simulated one does, and is counted as a wait like any other.
  if (!ours && handle != nullptr) return real.waitForSingleObject(handle, milliseconds);
  const std::uint32_t result = ProviderNotebook::Get().os().WaitForEvent(twin);
  if (result == os::kWaitObject0) {
    real.waitForSingleObject(handle, 0);  // the real event was set too: consume its signal
    return WAIT_OBJECT_0;
  }
  if (result == os::kWaitFailed) SetLastError(ERROR_INVALID_HANDLE);
  return result;
}

BOOL WINAPI HookCloseHandle(HANDLE handle) {
  bool ours = false;
  os::EventHandle twin = nullptr;
  if (handle != nullptr && events != nullptr) {
    AcquireSRWLockExclusive(&eventsLock);
    auto it = events->find(handle);
    if (it != events->end()) {
      ours = true;
      twin = it->second;
      events->erase(it);
    }
    ReleaseSRWLockExclusive(&eventsLock);
  }
  if (ours) ProviderNotebook::Get().os().CloseEvent(twin);
  return real.closeHandle(handle);
}

void WINAPI HookSleep(DWORD milliseconds) {
  ProviderNotebook* notebook = ProviderNotebook::IfMade();
  if (milliseconds == 0 || notebook == nullptr || !OnMainThread()) return real.sleep(milliseconds);
  notebook->os().Sleep(milliseconds);  // simulated time passes, at the scenario's speed
}

HRESULT WINAPI HookRoInitialize(RO_INIT_TYPE type) {
  if (auto code = ProviderNotebook::Get().faults().Check("RoInitialize")) return *code;
  return real.roInitialize(type);
}

HRESULT WINAPI HookCoInitialize(LPVOID reserved) {
  if (auto code = ProviderNotebook::Get().faults().Check("CoInitialize")) return *code;
  return real.coInitialize(reserved);
}

HRESULT WINAPI HookCoInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG authServices,
                                        SOLE_AUTHENTICATION_SERVICE* services, void* reserved1, DWORD authnLevel,
                                        DWORD impLevel, void* authList, DWORD capabilities, void* reserved3) {
  if (auto code = ProviderNotebook::Get().faults().Check("CoInitializeSecurity")) return *code;
  return real.coInitializeSecurity(descriptor, authServices, services, reserved1, authnLevel, impLevel, authList,
                                   capabilities, reserved3);
}

BSTR WINAPI HookSysAllocString(const OLECHAR* text) {
  if (ProviderNotebook::Get().faults().Check("SysAllocString")) return nullptr;
  return real.sysAllocString(text);
}

[[noreturn]] void __cdecl HookExit(int code) {
  if (ProviderNotebook* notebook = ProviderNotebook::IfMade()) {
    std::fflush(stdout);
    notebook->Stop(code);
    notebook->WriteSummary(std::cerr);
    std::cerr.flush();
  }
  real.exit(code);
  ExitProcess(static_cast<UINT>(code));  // exit does not return; this only satisfies [[noreturn]]
}

// Whether the executable imports the function and now calls the hook.
template <class Function>
bool Patch(HMODULE exe, const char* name, Function hook, Function& original) noexcept {
  static_assert(sizeof(Function) == sizeof(void*));
  // The patch is never undone: this DLL stays loaded to the end of the process.
  auto* patch = new (std::nothrow) ImportPatch(exe, name, reinterpret_cast<void*>(hook));
  if (patch == nullptr) return false;
  if (!patch->patched()) {
    delete patch;
    return false;
  }
  original = reinterpret_cast<Function>(patch->original());
  return true;
}

}  // namespace

void InstallServiceHooks() noexcept {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  events = new (std::nothrow) std::map<HANDLE, os::EventHandle>();
  if (events == nullptr) return;
  HMODULE exe = GetModuleHandleW(nullptr);
  // Each original is stored before the entry points at the hook, so a hook never runs
  // without it.
  real.createEventW = CreateEventW;
  real.setEvent = SetEvent;
  real.waitForSingleObject = WaitForSingleObject;
  real.closeHandle = CloseHandle;
  real.sleep = Sleep;
  real.roInitialize = RoInitialize;
  real.coInitialize = CoInitialize;
  real.coInitializeSecurity = CoInitializeSecurity;
  real.sysAllocString = SysAllocString;
  real.exit = std::exit;
  Patch(exe, "CreateEventW", &HookCreateEventW, real.createEventW);
  Patch(exe, "SetEvent", &HookSetEvent, real.setEvent);
  Patch(exe, "WaitForSingleObject", &HookWaitForSingleObject, real.waitForSingleObject);
  Patch(exe, "CloseHandle", &HookCloseHandle, real.closeHandle);
  Patch(exe, "Sleep", &HookSleep, real.sleep);
  Patch(exe, "RoInitialize", &HookRoInitialize, real.roInitialize);
  Patch(exe, "CoInitialize", &HookCoInitialize, real.coInitialize);
  Patch(exe, "CoInitializeSecurity", &HookCoInitializeSecurity, real.coInitializeSecurity);
  // The service's texts are its SysAllocString calls, as on Linux, where the WMI seam's
  // SysAllocString counts them. SysAllocStringLen stays real: the executable's Put copies its
  // value with it, and the simulated Put makes no such copy, so counting it would move every
  // later text of a firmware call to another number than on Linux.
  Patch(exe, "SysAllocString", &HookSysAllocString, real.sysAllocString);
  Patch(exe, "exit", &HookExit, real.exit);
}

}  // namespace korvi::fake
