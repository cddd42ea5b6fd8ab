// Checks of the import-table hooks from a program in the test bed: the service's kind of event
// (auto-reset, unsignalled, unnamed, CreateEventW) gets a twin on the simulated notebook and
// its faults, its real kernel object stays in step, its sleep runs on simulated time, and
// every other event is left to the real functions. The scenario comes from hooks_test.sh;
// the first argument says which checks go with it.
#include <windows.h>
#include <roapi.h>
#include <winstring.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/windows/abi/mobile_broadband.h"

namespace {

int passed = 0;
int failed = 0;

void Expect(bool condition, const char* what, unsigned long got = 0) {
  if (condition) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s (got 0x%lx)\n", what, got);
  }
}

// The first activation loads the fake providers, and with them the hooks.
void LoadProviders() {
  HSTRING name = nullptr;
  const wchar_t* className = korvi::abi::kMobileBroadbandModemClass;
  WindowsCreateString(className, static_cast<UINT32>(std::wcslen(className)), &name);
  IActivationFactory* factory = nullptr;
  const HRESULT code = RoGetActivationFactory(name, __uuidof(IActivationFactory), reinterpret_cast<void**>(&factory));
  WindowsDeleteString(name);
  Expect(SUCCEEDED(code) && factory != nullptr, "the fake providers load", static_cast<unsigned long>(code));
  if (factory != nullptr) factory->Release();
}

// Scenario: WaitForTxEvent abandoned at call 2, RoInitialize failing at call 1, speed 100.
void ServiceEvent() {
  Expect(RoInitialize(RO_INIT_MULTITHREADED) == static_cast<HRESULT>(0x80004005), "RoInitialize's first call fails");
  Expect(SUCCEEDED(RoInitialize(RO_INIT_MULTITHREADED)), "its second reaches Wine");

  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  Expect(event != nullptr, "the service's event is made");
  Expect(SetEvent(event) != FALSE, "SetEvent on it");
  DWORD waited = WaitForSingleObject(event, INFINITE);
  Expect(waited == WAIT_OBJECT_0, "a set event's wait returns", waited);
  waited = WaitForSingleObject(event, 0);
  Expect(waited == WAIT_TIMEOUT, "the wait consumed the real event's signal too", waited);

  // An event of another kind is the real one: set and waited for without the notebook, and its
  // wait is not one of the service's.
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Expect(manual != nullptr && SetEvent(manual) != FALSE, "a manual-reset event is made and set");
  Expect(WaitForSingleObject(manual, INFINITE) == WAIT_OBJECT_0 && WaitForSingleObject(manual, 0) == WAIT_OBJECT_0,
         "a manual-reset event stays set, as the real one does");
  CloseHandle(manual);

  SetEvent(event);
  waited = WaitForSingleObject(event, INFINITE);
  Expect(waited == WAIT_ABANDONED, "the second wait of the service's event gets the scenario's fault", waited);

  // Sleep(1000) at speed 100 lasts about 10 ms.
  const ULONGLONG before = GetTickCount64();
  Sleep(1000);
  const ULONGLONG slept = GetTickCount64() - before;
  Expect(slept < 500, "the main thread's sleep runs on simulated time", static_cast<unsigned long>(slept));

  Expect(CloseHandle(event) != FALSE, "the service's event is closed");
}

// Scenario: CreateEvent fails.
void EventFault() {
  Expect(CreateEventW(nullptr, FALSE, FALSE, nullptr) == nullptr, "the scenario's CreateEvent fault gives no event");
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Expect(manual != nullptr, "another kind of event is still made");
  if (manual != nullptr) CloseHandle(manual);
}

}  // namespace

int main(int argc, char** argv) {
  LoadProviders();
  if (argc > 1 && std::strcmp(argv[1], "service-event") == 0) {
    ServiceEvent();
  } else if (argc > 1 && std::strcmp(argv[1], "event-fault") == 0) {
    EventFault();
  } else {
    std::printf("usage: hooks_probe service-event|event-fault\n");
    return 2;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}
