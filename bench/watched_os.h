// The OS seam as the Linux build has it (the simulated notebook's SimOs: its events, sleeps and
// console), passed through with what the benchmarks need to see: how often the handler
// signalled the loop's event, how often the loop woke, when it begins to wait; and a way to
// end the loop once it has applied the last notification delivered.
//
// The loop is ended through its own wait-failure exit (the wait answers kWaitFailed), which
// makes no firmware call, so the last firmware call of a run is the one the last wake-up made.
// That exit answers controller::kExitNotProtecting, as the service says to whoever started it
// that nothing watches any more.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "os/os_platform.h"
#include "pass_through_os.h"

namespace korvi::bench {

class WatchedOs final : public PassThroughOs {
 public:
  using Clock = std::chrono::steady_clock;

  using PassThroughOs::PassThroughOs;

  // The watched calls; every other one goes through unchanged.
  os::EventHandle CreateAutoResetEvent() noexcept override;
  bool SetEvent(os::EventHandle event) noexcept override;
  std::uint32_t WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept override;

  // Blocks until the loop has begun its n-th wait (counting from 1), for at most `limit`; false
  // when the service returned first or the limit passed.
  bool AwaitWait(std::int64_t n, Clock::duration limit);
  // Called on the service's thread once the service has returned.
  void ServiceReturned();

  // Ends the loop at its next wait once a wake-up has come after all `signals` signals: that
  // wake-up read the state the last notification stored, and its firmware call has ended by
  // the time the loop waits again. Call it after the last notification has been delivered.
  void EndLoopAfter(std::int64_t signals);
  // When the loop's last iteration ended (the wait that took the exit began); set once the
  // loop has ended.
  Clock::time_point EndedAt() const;

  // Signals of the loop's event (the handler's), not counting the one EndLoopAfter makes.
  std::int64_t Signals() const noexcept { return signals_.load(); }
  // Wake-ups handed to the loop.
  std::int64_t Wakeups() const noexcept { return wakeups_.load(); }
  // Waits that reached their bound with no change (each is followed by one radio check).
  std::int64_t Timeouts() const noexcept { return timeouts_.load(); }

 private:
  bool EndDue() const noexcept;

  std::atomic<os::EventHandle> loopEvent_{nullptr};
  std::atomic<std::int64_t> signals_{0};
  std::atomic<std::int64_t> wakeups_{0};
  std::atomic<std::int64_t> timeouts_{0};
  // The signal count read just after the latest wake-up; only the loop's thread writes it.
  std::atomic<std::int64_t> seenAtLastWake_{0};
  std::atomic<std::int64_t> endAfter_{0};
  std::atomic<bool> endRequested_{false};

  mutable std::mutex mutex_;
  std::condition_variable waitBegun_;
  std::int64_t waitsBegun_ = 0;
  bool returned_ = false;
  Clock::time_point endedAt_{};
};

}  // namespace korvi::bench
