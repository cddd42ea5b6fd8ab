// Simulated time and the platform thread of the simulated notebook.
//
// Posted items run on the one platform thread, in time order (ties in posting order). The
// service's main thread is either running or parked in a platform wait (the TxEvent wait,
// Sleep, the wait for an asynchronous operation, the firmware's working time).
//
// Two clocks:
// - Virtual (the notebook's own). Simulated time stands still while the main thread runs or an
//   item runs. Items run only while the main thread is parked, and the main thread does not
//   resume while one runs. Once it is parked and nothing is due now, time jumps to whatever
//   comes next: the earliest item, or the end of the main thread's park (its sleep, or the
//   time-out of its wait), the park first on a tie. So the service's own work takes no
//   simulated time, and a run's every output and figure depends on the scenario alone, never
//   on the machine's speed or load. Optionally a run is paced for a person watching: each jump
//   then takes 1/speed of its simulated length in real time, which changes no output.
// - Real time, for a host whose service waits on real kernel objects that the scheduler cannot
//   see: simulated time is the steady clock times `speed`, and items run when they are due
//   whatever the service does.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace korvi::sim {

enum class Clock { kVirtual, kRealTime };

class Scheduler {
 public:
  explicit Scheduler(Clock clock = Clock::kVirtual, double speed = 1.0);
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Virtual clock only: each jump of simulated time also waits its length / speed in real time.
  void PaceInRealTime() noexcept;

  void Start();
  // Stops the platform thread; items not yet run are dropped (and so released).
  void Stop();

  // Simulated milliseconds since the scheduler was made.
  std::int64_t NowMs() const noexcept;
  // The simulated and the real (steady clock) microseconds since the scheduler was made.
  // Takes no lock.
  struct Stamp {
    std::int64_t simUs;
    std::int64_t wallUs;
  };
  Stamp Now() const noexcept;

  // On the virtual clock the item waits for the main thread to be parked; on the real-time
  // clock it runs when due.
  void Post(std::int64_t atMs, std::function<void()> action);

  // The calling (main) thread parks for a simulated duration. Called from an item, it returns
  // at once: no time passes inside an item.
  void ParkFor(std::int64_t milliseconds);

  // Events. Handles are never reused, so a closed handle stays invalid. A manual-reset event
  // stays signalled once set; an auto-reset one is consumed by the wait that it ends.
  std::uintptr_t CreateEvent(bool manualReset = false);
  bool SetEvent(std::uintptr_t event);
  // Parks the calling thread until the event is signalled, or until timeoutMs of simulated
  // time have passed (none: no time-out). Answers kWaitObject0, kWaitTimeout, or kWaitFailed
  // for a handle that is not a live event (or is closed while waited on).
  std::uint32_t WaitEvent(std::uintptr_t event, std::optional<std::int64_t> timeoutMs = std::nullopt);
  void CloseEvent(std::uintptr_t event);
  // Nothing is posted and the event is a live one, not signalled: unless a thread outside the
  // notebook signals it, a wait on it can only time out.
  bool NothingAhead(std::uintptr_t event) const;
  // Live events, for the leak count at exit.
  std::size_t LiveEvents() const;

 private:
  struct Event {
    bool signalled = false;
    bool manualReset = false;
  };
  using Key = std::pair<std::int64_t, std::uint64_t>;  // time, posting order

  void Run();
  void RunVirtual(std::unique_lock<std::mutex>& lock);
  void RunRealTime(std::unique_lock<std::mutex>& lock);
  void RunItem(std::unique_lock<std::mutex>& lock, std::multimap<Key, std::function<void()>>::iterator item);
  // Moves virtual time to atMs, pacing first when asked; false when the world changed during
  // the pacing wait and the next step must be chosen again.
  bool AdvanceTo(std::unique_lock<std::mutex>& lock, std::int64_t atMs);

  std::chrono::steady_clock::time_point RealDeadline(std::int64_t atMs) const noexcept;
  // Parks the main thread until the scheduler or a signal lets it run again.
  void ParkLocked(std::unique_lock<std::mutex>& lock, std::optional<std::int64_t> untilMs, std::uintptr_t event);
  bool OnPlatformThread() const noexcept;
  // Wakes the platform thread, or the main thread, after a change of state made under the lock.
  void Changed();
  void Resume();
  // Waits on `condition` until `ready`, looking out for the other thread for a while first.
  template <class Ready>
  void AwaitHandOver(std::unique_lock<std::mutex>& lock, std::condition_variable& condition, Ready ready);

  const Clock clock_;
  const double speed_;
  const std::chrono::steady_clock::time_point start_;
  bool paced_ = false;

  mutable std::mutex mutex_;
  std::condition_variable changed_;     // the platform thread waits on it
  std::condition_variable mainResume_;  // the main thread (parked) and outside waiters wait on it
  std::atomic<std::uint64_t> handOvers_{0};  // counts every change that a waiter may wait for

  std::multimap<Key, std::function<void()>> items_;
  std::uint64_t posted_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  bool delivering_ = false;
  std::atomic<std::int64_t> nowMs_{0};  // virtual clock; written under the lock
  // The pacing's anchor: the real moment at which virtual time last stood at paceFromMs_.
  std::chrono::steady_clock::time_point paceFrom_;
  std::int64_t paceFromMs_ = 0;

  bool mainParked_ = false;
  std::optional<std::int64_t> mainUntilMs_;  // the park's end: a sleep's, or a wait's time-out
  std::uintptr_t mainWaitsOn_ = 0;           // 0: not an event wait
  std::map<std::uintptr_t, Event> events_;
  std::uintptr_t nextEvent_ = 1;
  std::thread thread_;
  std::atomic<std::thread::id> platformThread_{};
};

}  // namespace korvi::sim
