// Checks of the import-table hooks from a program in the test bed: the service's kinds of event
// (unsignalled, unnamed, CreateEventW: the auto-reset loop event and the manual-reset
// completion signals) get twins on the simulated notebook, the loop event its faults, their
// real kernel objects stay in step, sleeps and time-outs run on simulated time, and every
// other event is left to the real functions. The scenario comes from hooks_test.sh;
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

// Scenario: WaitForTxEvent abandoned at call 2, RoInitialize failing at call 1.
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

  // A completion signal: stays set once set, as the real one does.
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Expect(manual != nullptr && SetEvent(manual) != FALSE, "a manual-reset event is made and set");
  Expect(WaitForSingleObject(manual, INFINITE) == WAIT_OBJECT_0 && WaitForSingleObject(manual, 30000) == WAIT_OBJECT_0,
         "a manual-reset event stays set");
  CloseHandle(manual);

  // An unset one times out in simulated time: 30 s pass at once.
  manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ULONGLONG before = GetTickCount64();
  waited = WaitForSingleObject(manual, 30000);
  ULONGLONG took = GetTickCount64() - before;
  Expect(waited == WAIT_TIMEOUT, "an unset completion signal's wait times out", waited);
  Expect(took < 5000, "its time-out passes in simulated time", static_cast<unsigned long>(took));
  CloseHandle(manual);

  // An event of another kind (named) is the real one, and its wait is not one of the service's.
  HANDLE named = CreateEventW(nullptr, TRUE, FALSE, L"korvi-hooks-probe");
  waited = WaitForSingleObject(named, 0);
  Expect(named != nullptr && waited == WAIT_TIMEOUT, "a named event is Wine's own", waited);
  CloseHandle(named);

  SetEvent(event);
  waited = WaitForSingleObject(event, INFINITE);
  Expect(waited == WAIT_ABANDONED, "the second wait of the service's event gets the scenario's fault", waited);

  // Sleep(20000) passes in simulated time.
  before = GetTickCount64();
  Sleep(20000);
  took = GetTickCount64() - before;
  Expect(took < 5000, "the main thread's sleep runs on simulated time", static_cast<unsigned long>(took));

  Expect(CloseHandle(event) != FALSE, "the service's event is closed");
}

// Scenario: CreateEvent fails.
void EventFault() {
  Expect(CreateEventW(nullptr, FALSE, FALSE, nullptr) == nullptr, "the scenario's CreateEvent fault gives no event");
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Expect(manual != nullptr, "a completion signal is still made");
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
