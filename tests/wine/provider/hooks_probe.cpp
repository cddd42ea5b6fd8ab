// Checks of the import-table hooks from a program in the test bed: the service's kinds of event
// (unsignalled, unnamed, CreateEventW: the auto-reset loop event and the manual-reset
// completion signals) get twins on the simulated notebook, the loop event its faults, their
// real kernel objects stay in step, sleeps and time-outs (the loop's bounded wait among them)
// run on simulated time, a spent timeline ends the run, and every other event is left to the
// real functions. The scenario comes from hooks_test.sh;
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

// Scenario: WaitForTxEvent abandoned at call 3, RoInitialize failing at call 1, and an edge far
// ahead, so that a bounded wait never finds the timeline spent.
void ServiceEvent() {
  Expect(RoInitialize(RO_INIT_MULTITHREADED) == static_cast<HRESULT>(0x80004005), "RoInitialize's first call fails");
  Expect(SUCCEEDED(RoInitialize(RO_INIT_MULTITHREADED)), "its second reaches Wine");

  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  Expect(event != nullptr, "the service's event is made");
  Expect(SetEvent(event) != FALSE, "SetEvent on it");
  DWORD waited = WaitForSingleObject(event, INFINITE);
  Expect(waited == WAIT_OBJECT_0, "a set event's wait returns", waited);
  // A bounded wait goes to the notebook as well (the scenario's fault table counts it).
  waited = WaitForSingleObject(event, 0);
  Expect(waited == WAIT_TIMEOUT, "a bounded wait right after it times out: the wait reset the event", waited);
  // WaitForMultipleObjects is not hooked: it sees the real event.
  waited = WaitForMultipleObjects(1, &event, FALSE, 0);
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
  Expect(waited == WAIT_ABANDONED, "the third wait of the service's event gets the scenario's fault", waited);

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

// Scenario: one edge at 100 s, nothing after it. The loop's bounded wait runs in simulated
// time: it times out at once in real time, twice (the second across the edge); the third
// finds nothing left on the timeline, and the notebook ends the run there (exit 4, checked
// by hooks_test.sh), so the verdict is printed before it.
void BoundedWait() {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  Expect(event != nullptr, "the service's event is made");
  for (int i = 1; i <= 2; ++i) {
    const ULONGLONG before = GetTickCount64();
    const DWORD waited = WaitForSingleObject(event, 60000);
    const ULONGLONG took = GetTickCount64() - before;
    Expect(waited == WAIT_TIMEOUT, "a bounded wait on the unset event times out", waited);
    Expect(took < 5000, "its minute passes in simulated time", static_cast<unsigned long>(took));
  }
  SetEvent(event);
  Expect(WaitForSingleObject(event, 60000) == WAIT_OBJECT_0, "a bounded wait on the set event returns at once");
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  WaitForSingleObject(event, 60000);  // the timeline is spent: the run ends inside
  std::printf("FAILED: the wait with nothing left on the timeline returned\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  LoadProviders();
  if (argc > 1 && std::strcmp(argv[1], "service-event") == 0) {
    ServiceEvent();
  } else if (argc > 1 && std::strcmp(argv[1], "event-fault") == 0) {
    EventFault();
  } else if (argc > 1 && std::strcmp(argv[1], "bounded-wait") == 0) {
    BoundedWait();
    return 1;
  } else {
    std::printf("usage: hooks_probe service-event|event-fault|bounded-wait\n");
    return 2;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}
