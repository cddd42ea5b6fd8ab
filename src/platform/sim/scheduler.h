// Simulated time and the platform thread of the simulated notebook.
//
// Simulated time runs `speed` times faster than the steady clock, from the scheduler's start.
// Posted items run on the one platform thread, in time order (ties in posting order).
//
// The service's main thread is either running or parked in a platform wait (the TxEvent wait,
// Sleep, the firmware's working time). Items of the modem's world (transmission edges,
// notifications, device-status changes) are gated: they run only while the main thread is
// parked, and the main thread does not resume while one runs. Whatever such an item makes the
// service write therefore falls between the same two messages of the main thread on every
// run, however the machine schedules threads. Ungated items (completions of asynchronous
// operations) run whenever they are due, since the main thread may be blocked on them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace korvi::sim {

class Scheduler {
 public:
  explicit Scheduler(double speed);
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  void Start();
  // Stops the platform thread; items not yet run are dropped (and so released).
  void Stop();

  // Simulated milliseconds since the scheduler was made.
  std::int64_t NowMs() const noexcept;
  // One reading of the steady clock, as simulated and as real microseconds since the
  // scheduler was made. Takes no lock.
  struct Stamp {
    std::int64_t simUs;
    std::int64_t wallUs;
  };
  Stamp Now() const noexcept;
  std::chrono::steady_clock::duration RealTimeFor(std::chrono::milliseconds simulated) const noexcept;

  void Post(std::int64_t atMs, std::function<void()> action, bool gated);

  // The calling (main) thread parks for a simulated duration.
  void ParkFor(std::int64_t milliseconds);

  // Auto-reset events. Handles are never reused, so a closed handle stays invalid.
  std::uintptr_t CreateEvent();
  bool SetEvent(std::uintptr_t event);
  // Parks the calling thread until the event is signalled; kWaitFailed for a handle that is
  // not a live event.
  std::uint32_t WaitEvent(std::uintptr_t event);
  void CloseEvent(std::uintptr_t event);
  // Live events, for the leak count at exit.
  std::size_t LiveEvents() const;

 private:
  enum class MainState { kRunning, kParkedUntil, kParkedOnEvent };
  struct Item {
    std::function<void()> action;
    bool gated;
  };
  using Key = std::pair<std::int64_t, std::uint64_t>;  // time, posting order

  void Run();
  std::chrono::steady_clock::time_point RealDeadline(std::int64_t atMs) const noexcept;
  void ParkLocked(std::unique_lock<std::mutex>& lock);

  const double speed_;
  const std::chrono::steady_clock::time_point start_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Key, Item> items_;
  std::uint64_t posted_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  bool delivering_ = false;
  MainState main_ = MainState::kRunning;
  std::int64_t mainWakeAtMs_ = 0;
  std::uintptr_t mainWaitsOn_ = 0;
  std::map<std::uintptr_t, bool> events_;  // handle -> signalled
  std::uintptr_t nextEvent_ = 1;
  std::thread thread_;
};

}  // namespace korvi::sim
