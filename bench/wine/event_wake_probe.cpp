// The floor under the service's reaction on Wine: a thread blocked in WaitForSingleObject on
// an auto-reset event, woken by SetEvent from another thread, as the service's loop is woken by
// its handler. Before each sample the waiter has been blocked for a millisecond, so that it
// sleeps in the wait rather than being on its way into it.
//
//   event-wake-probe.exe SAMPLES
//
// Prints "frequency F" (QueryPerformanceFrequency), then per sample "set T" (just before
// SetEvent) and "woke T" (just after the wait returned), in QueryPerformanceCounter ticks;
// korvi-bench wine-reaction reads them. Exit codes: 0 done, 2 bad usage or no event.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/windows/support/owners.h"

namespace {

LONGLONG Now() noexcept {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
  char* end = nullptr;
  const long samples = argc == 2 ? std::strtol(argv[1], &end, 10) : 0;
  if (argc != 2 || end == argv[1] || *end != '\0' || samples < 1 || samples > 1000000) {
    std::fprintf(stderr, "event-wake-probe: expected one argument, the number of samples (1 to 1000000)\n");
    return 2;
  }
  using korvi::windows::UniqueHandle;
  const UniqueHandle wake(CreateEventW(nullptr, FALSE, FALSE, nullptr));  // the waiter's, as the service's loop event
  const UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));  // back to the setter: the sample is taken
  if (wake.get() == nullptr || done.get() == nullptr) {
    std::fprintf(stderr, "event-wake-probe: CreateEventW failed with error %lu\n", GetLastError());
    return 2;
  }
  std::vector<LONGLONG> set(static_cast<std::size_t>(samples)), woke(static_cast<std::size_t>(samples));
  std::thread waiter([&] {
    for (auto& stamp : woke) {
      if (WaitForSingleObject(wake.get(), INFINITE) != WAIT_OBJECT_0) return;
      stamp = Now();
      SetEvent(done.get());
    }
  });
  for (auto& stamp : set) {
    Sleep(1);
    stamp = Now();
    SetEvent(wake.get());
    WaitForSingleObject(done.get(), INFINITE);
  }
  waiter.join();

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("frequency %lld\n", static_cast<long long>(frequency.QuadPart));
  for (std::size_t i = 0; i < set.size(); ++i) {
    std::printf("set %lld\nwoke %lld\n", static_cast<long long>(set[i]), static_cast<long long>(woke[i]));
  }
  return 0;
}
