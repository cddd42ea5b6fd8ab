#include "platform/sim/scheduler/scheduler.h"

#include <algorithm>

#include "os/os_platform.h"

namespace korvi::sim {

Scheduler::Scheduler(Clock clock, double speed)
    : clock_(clock), speed_(speed), start_(std::chrono::steady_clock::now()), paceFrom_(start_) {}

Scheduler::~Scheduler() { Stop(); }

void Scheduler::PaceInRealTime() noexcept {
  std::lock_guard lock(mutex_);
  paced_ = clock_ == Clock::kVirtual;
}

void Scheduler::Changed() {
  handOvers_.fetch_add(1, std::memory_order_release);
  changed_.notify_all();
}

void Scheduler::Resume() {
  handOvers_.fetch_add(1, std::memory_order_release);
  mainResume_.notify_all();
}

template <class Ready>
void Scheduler::AwaitHandOver(std::unique_lock<std::mutex>& lock, std::condition_variable& condition, Ready ready) {
  // A blocked thread of a virtual machine takes tens of microseconds to wake, and a run hands
  // over between the two threads twice per notification; so the waiter first looks out for
  // the other thread's hand-over for a little while, giving up its core meanwhile, and only
  // then blocks. Only the speed depends on this, never the order.
  constexpr int kRounds = 8;
  constexpr int kLooks = 16;
  for (int round = 0; round < kRounds && !ready(); ++round) {
    const std::uint64_t seen = handOvers_.load(std::memory_order_acquire);
    lock.unlock();
    for (int look = 0; look < kLooks && handOvers_.load(std::memory_order_acquire) == seen; ++look) {
      std::this_thread::yield();
    }
    lock.lock();
  }
  condition.wait(lock, ready);
}

void Scheduler::Start() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  running_ = true;
  paceFrom_ = std::chrono::steady_clock::now();
  paceFromMs_ = nowMs_.load(std::memory_order_relaxed);
  thread_ = std::thread([this] { Run(); });
}

void Scheduler::Stop() {
  std::multimap<Key, std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    Changed();
    Resume();
  }
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mutex_);
    dropped.swap(items_);
  }
  // dropped goes out of scope here, outside the lock: its actions may hold platform objects.
}

std::int64_t Scheduler::NowMs() const noexcept {
  if (clock_ == Clock::kVirtual) return nowMs_.load(std::memory_order_acquire);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<std::int64_t>(elapsed.count() * speed_);
}

Scheduler::Stamp Scheduler::Now() const noexcept {
  const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start_;
  const auto wallUs = static_cast<std::int64_t>(elapsed.count());
  if (clock_ == Clock::kVirtual) return Stamp{nowMs_.load(std::memory_order_acquire) * 1000, wallUs};
  return Stamp{static_cast<std::int64_t>(elapsed.count() * speed_), wallUs};
}

std::chrono::steady_clock::time_point Scheduler::RealDeadline(std::int64_t atMs) const noexcept {
  const std::chrono::duration<double, std::milli> real(static_cast<double>(atMs) / speed_);
  return start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
}

bool Scheduler::OnPlatformThread() const noexcept {
  return platformThread_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

void Scheduler::Post(std::int64_t atMs, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  if (stopping_) return;
  items_.emplace(Key{atMs, posted_++}, std::move(action));
  Changed();
}

void Scheduler::Run() {
  platformThread_.store(std::this_thread::get_id(), std::memory_order_release);
  std::unique_lock lock(mutex_);
  if (clock_ == Clock::kVirtual) {
    RunVirtual(lock);
  } else {
    RunRealTime(lock);
  }
}

void Scheduler::RunItem(std::unique_lock<std::mutex>& lock, std::multimap<Key, std::function<void()>>::iterator it) {
  std::function<void()> action = std::move(it->second);
  items_.erase(it);
  delivering_ = true;
  lock.unlock();
  action();
  action = nullptr;  // release what the action held before taking the lock again
  lock.lock();
  delivering_ = false;
  if (!mainParked_) Resume();  // the item let the main thread go on
}

bool Scheduler::AdvanceTo(std::unique_lock<std::mutex>& lock, std::int64_t atMs) {
  const std::int64_t now = nowMs_.load(std::memory_order_relaxed);
  if (atMs <= now) return true;
  if (paced_) {
    const std::chrono::duration<double, std::milli> real(static_cast<double>(atMs - paceFromMs_) / speed_);
    const auto deadline = paceFrom_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
    // Only a signal from outside the notebook (or the end) can change the world meanwhile.
    if (changed_.wait_until(lock, deadline, [&] { return stopping_ || !mainParked_; })) return false;
    paceFrom_ = deadline;
    paceFromMs_ = atMs;
  }
  nowMs_.store(atMs, std::memory_order_release);
  return true;
}

void Scheduler::RunVirtual(std::unique_lock<std::mutex>& lock) {
  while (!stopping_) {
    // Time stands still while the service works: nothing runs until it parks again.
    if (!mainParked_) {
      AwaitHandOver(lock, changed_, [this] { return mainParked_ || stopping_; });
      continue;
    }
    const std::int64_t now = nowMs_.load(std::memory_order_relaxed);
    const auto next = items_.begin();
    const std::optional<std::int64_t> itemAt =
        next == items_.end() ? std::nullopt : std::optional(std::max(next->first.first, now));
    if (mainUntilMs_ && (!itemAt || *mainUntilMs_ <= *itemAt)) {
      // The park ends first (first on a tie too): its sleep is over, or its wait timed out.
      if (!AdvanceTo(lock, std::max(*mainUntilMs_, now))) continue;
      mainParked_ = false;
          Resume();
      continue;
    }
    if (!itemAt) {
      // Nothing will happen unless a thread outside the notebook signals the service.
      changed_.wait(lock);
      continue;
    }
    if (!AdvanceTo(lock, *itemAt)) continue;
    RunItem(lock, next);
  }
}

void Scheduler::RunRealTime(std::unique_lock<std::mutex>& lock) {
  while (!stopping_) {
    const auto next = items_.begin();
    if (next == items_.end()) {
      changed_.wait(lock);
      continue;
    }
    const auto deadline = RealDeadline(next->first.first);
    if (std::chrono::steady_clock::now() < deadline) {
      changed_.wait_until(lock, deadline);
      continue;  // an earlier item may have been posted meanwhile: choose again
    }
    RunItem(lock, next);
  }
}

void Scheduler::ParkLocked(std::unique_lock<std::mutex>& lock, std::optional<std::int64_t> untilMs,
                           std::uintptr_t event) {
  if (clock_ == Clock::kRealTime) {
    mainWaitsOn_ = event;
    mainParked_ = true;
    auto resumed = [this] { return !mainParked_ || stopping_; };
    if (untilMs) {
      mainResume_.wait_until(lock, RealDeadline(*untilMs), resumed);
    } else {
      mainResume_.wait(lock, resumed);
    }
    mainParked_ = false;
    mainWaitsOn_ = 0;
    return;
  }
  mainParked_ = true;
  mainUntilMs_ = untilMs;
  mainWaitsOn_ = event;
  Changed();
  AwaitHandOver(lock, mainResume_, [this] { return (!mainParked_ && !delivering_) || stopping_; });
  mainParked_ = false;
  mainUntilMs_.reset();
  mainWaitsOn_ = 0;
}

void Scheduler::ParkFor(std::int64_t milliseconds) {
  if (OnPlatformThread()) return;
  std::unique_lock lock(mutex_);
  // A stopped (or never started) virtual clock has nothing to wait for.
  if (clock_ == Clock::kVirtual && (!running_ || stopping_)) return;
  ParkLocked(lock, NowMs() + milliseconds, 0);
}

std::uintptr_t Scheduler::CreateEvent(bool manualReset) {
  std::lock_guard lock(mutex_);
  const std::uintptr_t handle = nextEvent_++;
  events_.emplace(handle, Event{false, manualReset});
  return handle;
}

bool Scheduler::SetEvent(std::uintptr_t event) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return false;
  it->second.signalled = true;
  if (mainParked_ && mainWaitsOn_ == event) {
    mainParked_ = false;
    Changed();  // the platform thread must see that the main thread runs
  }
  // A parked main thread resumes once the item that set the event is over; a waiter on a
  // stopped clock resumes now.
  if (!delivering_) Resume();
  return true;
}

std::uint32_t Scheduler::WaitEvent(std::uintptr_t event, std::optional<std::int64_t> timeoutMs) {
  std::unique_lock lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return os::kWaitFailed;
  if (!it->second.signalled) {
    if (OnPlatformThread() && timeoutMs) return os::kWaitTimeout;  // no time passes inside an item
    const bool parkable = clock_ == Clock::kRealTime || (running_ && !stopping_);
    if (parkable) {
      ParkLocked(lock, timeoutMs ? std::optional(NowMs() + *timeoutMs) : std::nullopt, event);
    } else if (timeoutMs) {
      return os::kWaitTimeout;  // simulated time cannot pass on a stopped clock
    } else {
      // Only a thread outside the notebook can end this wait now.
      mainResume_.wait(lock, [&] {
        auto found = events_.find(event);
        return found == events_.end() || found->second.signalled;
      });
    }
    it = events_.find(event);
    if (it == events_.end()) return os::kWaitFailed;
    if (!it->second.signalled) return os::kWaitTimeout;
  }
  if (!it->second.manualReset) it->second.signalled = false;  // the wait consumes the signal
  return os::kWaitObject0;
}

void Scheduler::CloseEvent(std::uintptr_t event) {
  std::lock_guard lock(mutex_);
  if (events_.erase(event) != 0 && mainParked_ && mainWaitsOn_ == event) mainParked_ = false;
  Changed();
  if (!delivering_) Resume();
}

bool Scheduler::NothingAhead(std::uintptr_t event) const {
  std::lock_guard lock(mutex_);
  const auto it = events_.find(event);
  return items_.empty() && !delivering_ && it != events_.end() && !it->second.signalled;
}

std::size_t Scheduler::LiveEvents() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

}  // namespace korvi::sim
