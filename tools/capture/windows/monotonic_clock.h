// Microseconds of QueryPerformanceCounter since the clock was started: the one clock that
// korvi-capture stamps a run with and korvi-supervisor times its lives by.
#pragma once

#include <windows.h>

#include <cstdint>

namespace korvi::capture {

class MonotonicClock {
 public:
  MonotonicClock() noexcept { Start(); }
  // From now on Now() counts from 0 again.
  void Start() noexcept {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  std::int64_t Now() const noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart - start_.QuadPart;
    const std::int64_t perSecond = frequency_.QuadPart;
    // Split so that the multiplication cannot overflow however long the run.
    return ticks / perSecond * 1'000'000 + ticks % perSecond * 1'000'000 / perSecond;
  }

 private:
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

}  // namespace korvi::capture
