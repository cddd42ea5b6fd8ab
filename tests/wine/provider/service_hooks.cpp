// Test-bed-only: korvi-sar.exe's kernel-object, sleep and process-level COM calls, routed
// through the simulated notebook.
//
// Why: on Linux the service reaches its event, its sleep, its waits for asynchronous
// operations and COM set-up through the simulated notebook's seams, and the notebook's
// simulated time moves only while the service's main thread is parked in one of those waits;
// so a run's output depends on its scenario alone. The Windows build calls the real
// CreateEventW, SetEvent, WaitForSingleObject, CloseHandle and Sleep, which these fake
// providers cannot see. So when this DLL is loaded it rewrites those entries of the
// executable's import table: each unnamed, unsignalled event made with CreateEventW gets a
// twin in the notebook (the C++ runtime's threads library makes its events with CreateEventA,
// so they are left alone). The auto-reset one is the service's loop event, made through the
// simulated OS as SimOs makes it (the scenario's CreateEvent fault included); each
// manual-reset one is the completion signal of one asynchronous operation. A wait on a twin
// by the thread that made the first of them (the service's main thread), and that thread's
// sleeps, park the notebook's main-thread model as SimOs does, a wait's time-out counting in
// simulated time; the real event is kept in step. Every other call, from any other code of the
// executable (the threads library imports the same functions), goes straight to the real
// function. With KORVI_WINE_KERNEL=real none of these five is hooked: the service then runs
// on Wine's own kernel objects, and the notebook on the real-time clock.
//
// The same table entries inject the scenario's faults for the process-level calls that no
// fake object stands behind: RoInitialize, CoInitialize, CoInitializeSecurity, SysAllocString
// (see InstallServiceHooks) and the event and its wait (CreateEvent, WaitForTxEvent). Without
// a fault each calls the real function, so Wine's own COM still answers.
//
// The one-instance lock (CreateMutexW of the service's lock name, on either kernel) answers
// first from the notebook (a scenario's "another_instance"); otherwise it is the real mutex,
// named KORVI_WINE_INSTANCE_LOCK when that is set, so that runs beside each other under CTest
// never meet, while runs that are meant to meet give one name. KORVI_WINE_INSTANCE_GATE holds
// a process that took the lock, at the service's first activation after it, until a test lets
// it go (see WaitAtTheGate).
//
// Last, the C runtime's exit is hooked to stop the notebook and print its summary on stderr
// while the process is still whole, as the Linux build's main does after the service returns;
// then, once the notebook has dropped the service's objects it held, it writes the
// executable's own live object counts to the file KORVI_WINE_LIVE_OBJECTS names (see
// WriteLiveObjects). A run whose timeline is spent ends the same way from inside the service's
// wait (EndRunWhenTimelineSpent).
#include "service_hooks.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <roapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "import_patch.h"
#include "platform/windows/support/instance_lock.h"
#include "platform/windows/support/live_objects.h"
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
using CreateMutexWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR);

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
  CreateMutexWFn createMutexW = nullptr;
};
Originals real;

// The twin of one of the service's events: the loop event's in the simulated OS, or a
// completion signal's.
struct Twin {
  os::EventHandle event = nullptr;
  std::shared_ptr<os::CompletionSignal> signal;
};

// The service's events: the real handle it holds, and its twin.
SRWLOCK eventsLock = SRWLOCK_INIT;
std::map<HANDLE, Twin>* events = nullptr;
// The thread that made the service's first event: the service's main thread.
std::atomic<DWORD> mainThread{0};

bool OnMainThread() noexcept {
  const DWORD main = mainThread.load(std::memory_order_acquire);
  return main != 0 && main == GetCurrentThreadId();
}

// The twin of a real handle; found == false when the handle is not the service's.
Twin TwinOf(HANDLE handle, bool& found) noexcept {
  AcquireSRWLockShared(&eventsLock);
  auto it = events->find(handle);
  found = it != events->end();
  Twin twin = found ? it->second : Twin{};
  ReleaseSRWLockShared(&eventsLock);
  return twin;
}

HANDLE WINAPI HookCreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                               LPCWSTR name) {
  if (attributes != nullptr || initialState || name != nullptr) {
    return real.createEventW(attributes, manualReset, initialState, name);
  }
  ProviderNotebook& notebook = ProviderNotebook::Get();
  DWORD none = 0;
  mainThread.compare_exchange_strong(none, GetCurrentThreadId(), std::memory_order_acq_rel);
  Twin twin;
  if (manualReset) {
    twin.signal = notebook.os().CreateCompletionSignal();
  } else {
    twin.event = notebook.os().CreateAutoResetEvent();  // the scenario's CreateEvent fault
  }
  if (twin.event == nullptr && !twin.signal) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE event = real.createEventW(nullptr, manualReset, FALSE, nullptr);
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
    if (twin.event != nullptr) notebook.os().CloseEvent(twin.event);
    if (event != nullptr) real.closeHandle(event);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return event;
}

BOOL WINAPI HookSetEvent(HANDLE event) {
  bool ours = false;
  const Twin twin = TwinOf(event, ours);
  // The real event first: once the twin is set the main thread may go on and consume it.
  const BOOL set = real.setEvent(event);
  if (ours && twin.signal) twin.signal->Set();
  if (ours && twin.event != nullptr) ProviderNotebook::Get().os().SetEvent(twin.event);
  return set;
}

DWORD WINAPI HookWaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (!OnMainThread()) return real.waitForSingleObject(handle, milliseconds);
  bool ours = false;
  const Twin twin = TwinOf(handle, ours);
  if (ours && twin.signal) {
    const auto timeout = milliseconds == INFINITE ? std::nullopt
                                                  : std::optional(std::chrono::milliseconds(milliseconds));
    if (!twin.signal->Wait(timeout)) return WAIT_TIMEOUT;
    real.waitForSingleObject(handle, 0);  // the real event was set too
    return WAIT_OBJECT_0;
  }
  // A null handle is the service's event that could not be made: its wait fails, as the
  // simulated one does, and is counted as a wait like any other.
  if (!ours && handle != nullptr) return real.waitForSingleObject(handle, milliseconds);
  // The loop's wait, bounded or not: its time-out runs in simulated time, so a run that only
  // checks the radio once a bound takes no real minute per check (and a spent timeline ends
  // the run, through the notebook's handler).
  const auto timeout = milliseconds == INFINITE ? std::nullopt
                                                : std::optional(std::chrono::milliseconds(milliseconds));
  const std::uint32_t result = ProviderNotebook::Get().os().WaitForEvent(twin.event, timeout);
  if (result == os::kWaitObject0) {
    real.waitForSingleObject(handle, 0);  // the real event was set too: consume its signal
    return WAIT_OBJECT_0;
  }
  if (result == os::kWaitFailed) SetLastError(ERROR_INVALID_HANDLE);
  return result;  // kWaitTimeout and kWaitAbandoned are WAIT_TIMEOUT and WAIT_ABANDONED
}

BOOL WINAPI HookCloseHandle(HANDLE handle) {
  bool ours = false;
  Twin twin;
  if (handle != nullptr && events != nullptr) {
    AcquireSRWLockExclusive(&eventsLock);
    auto it = events->find(handle);
    if (it != events->end()) {
      ours = true;
      twin = std::move(it->second);
      events->erase(it);
    }
    ReleaseSRWLockExclusive(&eventsLock);
  }
  if (ours && twin.event != nullptr) ProviderNotebook::Get().os().CloseEvent(twin.event);
  twin.signal.reset();  // outside the lock: it closes the notebook's event
  return real.closeHandle(handle);
}

void WINAPI HookSleep(DWORD milliseconds) {
  ProviderNotebook* notebook = ProviderNotebook::IfMade();
  if (milliseconds == 0 || notebook == nullptr || !OnMainThread()) return real.sleep(milliseconds);
  notebook->os().Sleep(milliseconds);  // simulated time passes
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

// A variable of the environment as it stands (the service reads none itself); empty when it is
// unset or longer than the bed's names ever are.
std::wstring BedVariable(const wchar_t* name) {
  wchar_t value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(value, length);
}

// Set once this process has taken the real lock; the gate is passed at the service's next
// step (PassInstanceGate), when the lock's handle is the service's own.
std::atomic<bool> gateArmed{false};

// KORVI_WINE_INSTANCE_GATE=NAME: the process that took the lock sets the named event
// NAME.held and waits for NAME.release before the service goes on, so that a test can run a
// second instance while this one certainly holds the lock (with no sleep standing in for it).
// Simulated time stands still meanwhile: the service is not parked in a wait of the notebook's.
void WaitAtTheGate() {
  const std::wstring gate = BedVariable(L"KORVI_WINE_INSTANCE_GATE");
  if (gate.empty()) return;
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, (gate + L".held").c_str());
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, (gate + L".release").c_str());
  if (held != nullptr && release != nullptr) {
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
  }
  if (held != nullptr) CloseHandle(held);  // this DLL's own imports, never hooked
  if (release != nullptr) CloseHandle(release);
}

HANDLE WINAPI HookCreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
  if (name == nullptr || std::wcscmp(name, windows::kInstanceLockName) != 0) {
    return real.createMutexW(attributes, initialOwner, name);
  }
  try {
    switch (ProviderNotebook::Get().os().AcquireInstanceLock()) {
      case os::InstanceLock::kHeldElsewhere: {
        // As Windows answers when another process of the session made it: a handle to it
        // (here one of no consequence), and ERROR_ALREADY_EXISTS.
        HANDLE other = real.createMutexW(nullptr, FALSE, nullptr);
        SetLastError(other != nullptr ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
        return other;
      }
      case os::InstanceLock::kUnavailable:
        SetLastError(ERROR_INVALID_HANDLE);  // the name taken by an object of another kind
        return nullptr;
      case os::InstanceLock::kAcquired:
        break;
    }
    const std::wstring bedName = BedVariable(L"KORVI_WINE_INSTANCE_LOCK");
    HANDLE mutex = real.createMutexW(attributes, initialOwner, bedName.empty() ? name : bedName.c_str());
    const DWORD error = GetLastError();
    if (mutex != nullptr && error != ERROR_ALREADY_EXISTS) gateArmed.store(true);
    SetLastError(error);
    return mutex;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

// The executable's count of the platform objects it still holds, one "KIND<TAB>COUNT" line
// per kind, to the file KORVI_WINE_LIVE_OBJECTS names (nothing when it is unset). The
// executable exports the counts; a program that does not (the probes) gets no file, and the
// scenario runner reports a missing one. Not on stderr: that carries the notebook's summary,
// compared byte for byte with the Linux build's.
void WriteLiveObjects() noexcept {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"KORVI_WINE_LIVE_OBJECTS", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  using CountFn = std::int64_t (*)(int) noexcept;
  const auto count = reinterpret_cast<CountFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "KorviLiveObjectCount")));
  if (count == nullptr) return;
  std::string lines;
  for (int kind = 0; kind < windows::kLiveKinds; ++kind) {
    lines += windows::LiveObjects::Name(static_cast<windows::LiveKind>(kind));
    lines += '\t' + std::to_string(count(kind)) + '\n';
  }
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  CloseHandle(file);  // this DLL's own import, never hooked
}

// Given by the bed's executable before main (bed_preload.cpp): the service's release of the
// objects it keeps for the whole process, which a run ended inside the service's wait must do
// in its stead, as the Linux build's main does.
std::atomic<void (*)() noexcept> releaseProcessObjects{nullptr};

[[noreturn]] void __cdecl HookExit(int code) {
  if (ProviderNotebook* notebook = ProviderNotebook::IfMade()) {
    std::fflush(stdout);
    notebook->Stop(code);
    notebook->WriteSummary(std::cerr);
    std::cerr.flush();
  }
  WriteLiveObjects();
  real.exit(code);
  ExitProcess(static_cast<UINT>(code));  // exit does not return; this only satisfies [[noreturn]]
}

}  // namespace

void SetProcessObjectsRelease(void (*release)() noexcept) noexcept { releaseProcessObjects.store(release); }

void PassInstanceGate() noexcept {
  if (!gateArmed.exchange(false)) return;
  try {
    WaitAtTheGate();
  } catch (...) {
    // A gate that cannot be named holds nobody: the test that set it waits in vain and fails.
  }
}

[[noreturn]] void EndRunWhenTimelineSpent() noexcept {
  using sim::kExitTimelineSpent;
  std::fflush(stdout);
  // The Linux build's words, compared with the same expected file.
  std::cerr << sim::kTimelineSpentLine;
  ProviderNotebook& notebook = ProviderNotebook::Get();
  notebook.Stop(kExitTimelineSpent);
  if (auto release = releaseProcessObjects.load()) release();
  notebook.WriteSummary(std::cerr);
  std::cerr.flush();
  WriteLiveObjects();
  std::fflush(nullptr);
  // As the Linux build's _Exit: the service is inside its wait, and nothing of it may run on.
  TerminateProcess(GetCurrentProcess(), kExitTimelineSpent);
  ExitProcess(kExitTimelineSpent);  // not reached
}

namespace {

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
  events = new (std::nothrow) std::map<HANDLE, Twin>();
  if (events == nullptr) return;
  bool realKernel = false;
  try {
    realKernel = KernelOfTheService() == Kernel::kReal;
  } catch (...) {
    // The notebook reports a bad KORVI_WINE_KERNEL and ends the run when it is made.
  }
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
  real.createMutexW = CreateMutexW;
  if (!realKernel) {
    Patch(exe, "CreateEventW", &HookCreateEventW, real.createEventW);
    Patch(exe, "SetEvent", &HookSetEvent, real.setEvent);
    Patch(exe, "WaitForSingleObject", &HookWaitForSingleObject, real.waitForSingleObject);
    Patch(exe, "CloseHandle", &HookCloseHandle, real.closeHandle);
    Patch(exe, "Sleep", &HookSleep, real.sleep);
  }
  Patch(exe, "RoInitialize", &HookRoInitialize, real.roInitialize);
  Patch(exe, "CoInitialize", &HookCoInitialize, real.coInitialize);
  Patch(exe, "CoInitializeSecurity", &HookCoInitializeSecurity, real.coInitializeSecurity);
  // The service's texts are its SysAllocString calls, as on Linux, where the WMI seam's
  // SysAllocString counts them. SysAllocStringLen stays real: the executable's Put copies its
  // value with it, and the simulated Put makes no such copy, so counting it would move every
  // later text of a firmware call to another number than on Linux.
  Patch(exe, "SysAllocString", &HookSysAllocString, real.sysAllocString);
  Patch(exe, "exit", &HookExit, real.exit);
  // On either kernel: the lock is no kernel object of the notebook's timeline.
  Patch(exe, "CreateMutexW", &HookCreateMutexW, real.createMutexW);
}

}  // namespace korvi::fake
