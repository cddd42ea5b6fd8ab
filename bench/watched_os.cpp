#include "watched_os.h"

namespace korvi::bench {

os::EventHandle WatchedOs::CreateAutoResetEvent() noexcept {
  const os::EventHandle event = inner_.CreateAutoResetEvent();
  // The service makes one event, the loop's; the first one made is it.
  os::EventHandle none = nullptr;
  loopEvent_.compare_exchange_strong(none, event);
  return event;
}

bool WatchedOs::SetEvent(os::EventHandle event) noexcept {
  // Counted before the signal, and after the handler stored its state: a loop that reads a
  // count of n after waking also reads the state that the n-th notification stored.
  signals_.fetch_add(1, std::memory_order_acq_rel);
  return inner_.SetEvent(event);
}

bool WatchedOs::EndDue() const noexcept {
  return endRequested_.load(std::memory_order_acquire) &&
         seenAtLastWake_.load(std::memory_order_acquire) >= endAfter_.load(std::memory_order_acquire);
}

std::uint32_t WatchedOs::WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept {
  const Clock::time_point begun = Clock::now();
  {
    std::lock_guard lock(mutex_);
    ++waitsBegun_;
    waitBegun_.notify_all();
    if (EndDue()) {
      endedAt_ = begun;
      return os::kWaitFailed;
    }
  }
  const std::uint32_t result = inner_.WaitForEvent(event, timeout);
  const std::int64_t seen = signals_.load(std::memory_order_acquire);
  if (result == os::kWaitTimeout) timeouts_.fetch_add(1, std::memory_order_relaxed);
  if (result != os::kWaitObject0) return result;
  if (EndDue()) {
    // The previous wake-up already read the last state; this one is the end's own signal or a
    // signal left over from a notification that the previous wake-up had already seen.
    std::lock_guard lock(mutex_);
    endedAt_ = begun;
    return os::kWaitFailed;
  }
  seenAtLastWake_.store(seen, std::memory_order_release);
  wakeups_.fetch_add(1, std::memory_order_relaxed);
  return result;
}

bool WatchedOs::AwaitWait(std::int64_t n, Clock::duration limit) {
  std::unique_lock lock(mutex_);
  waitBegun_.wait_for(lock, limit, [&] { return waitsBegun_ >= n || returned_; });
  return waitsBegun_ >= n;
}

void WatchedOs::ServiceReturned() {
  std::lock_guard lock(mutex_);
  returned_ = true;
  waitBegun_.notify_all();
}

void WatchedOs::EndLoopAfter(std::int64_t signals) {
  endAfter_.store(signals, std::memory_order_release);
  endRequested_.store(true, std::memory_order_release);
  // Wakes a loop that already waits with nothing left to apply; not counted as a signal. If
  // the loop has ended and closed the event meanwhile, the signal finds no event and is lost.
  if (const os::EventHandle event = loopEvent_.load()) inner_.SetEvent(event);
}

WatchedOs::Clock::time_point WatchedOs::EndedAt() const {
  std::lock_guard lock(mutex_);
  return endedAt_;
}

}  // namespace korvi::bench
