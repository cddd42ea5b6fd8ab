#include "platform/sim/scheduler.h"

#include "os/os_platform.h"

namespace korvi::sim {

Scheduler::Scheduler(double speed) : speed_(speed), start_(std::chrono::steady_clock::now()) {}

Scheduler::~Scheduler() { Stop(); }

void Scheduler::Start() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void Scheduler::Stop() {
  std::multimap<Key, Item> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mutex_);
    dropped.swap(items_);
  }
  // dropped goes out of scope here, outside the lock: its actions may hold platform objects.
}

std::int64_t Scheduler::NowMs() const noexcept {
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<std::int64_t>(elapsed.count() * speed_);
}

Scheduler::Stamp Scheduler::Now() const noexcept {
  const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start_;
  return Stamp{static_cast<std::int64_t>(elapsed.count() * speed_), static_cast<std::int64_t>(elapsed.count())};
}

std::chrono::steady_clock::duration Scheduler::RealTimeFor(std::chrono::milliseconds simulated) const noexcept {
  const std::chrono::duration<double, std::milli> real(static_cast<double>(simulated.count()) / speed_);
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
}

std::chrono::steady_clock::time_point Scheduler::RealDeadline(std::int64_t atMs) const noexcept {
  return start_ + RealTimeFor(std::chrono::milliseconds(atMs));
}

void Scheduler::Post(std::int64_t atMs, std::function<void()> action, bool gated) {
  std::lock_guard lock(mutex_);
  if (stopping_) return;
  items_.emplace(Key{atMs, posted_++}, Item{std::move(action), gated});
  changed_.notify_all();
}

void Scheduler::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const bool mainParked = main_ != MainState::kRunning;
    auto next = items_.end();
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (!it->second.gated || mainParked) {
        next = it;
        break;
      }
    }
    const bool mainWakeDue = main_ == MainState::kParkedUntil;
    const bool wakeMainFirst = mainWakeDue && (next == items_.end() || mainWakeAtMs_ <= next->first.first);
    if (!wakeMainFirst && next == items_.end()) {
      changed_.wait(lock);
      continue;
    }
    const std::int64_t atMs = wakeMainFirst ? mainWakeAtMs_ : next->first.first;
    if (std::chrono::steady_clock::now() < RealDeadline(atMs)) {
      changed_.wait_until(lock, RealDeadline(atMs));
      continue;  // the world may have changed meanwhile: choose again
    }
    if (wakeMainFirst) {
      main_ = MainState::kRunning;
      changed_.notify_all();
      continue;
    }
    Item item = std::move(next->second);
    items_.erase(next);
    delivering_ = item.gated;
    lock.unlock();
    item.action();
    item.action = nullptr;  // release what the action held before taking the lock again
    lock.lock();
    delivering_ = false;
    changed_.notify_all();
  }
}

void Scheduler::ParkLocked(std::unique_lock<std::mutex>& lock) {
  changed_.notify_all();
  changed_.wait(lock, [this] { return main_ == MainState::kRunning && !delivering_; });
}

void Scheduler::ParkFor(std::int64_t milliseconds) {
  std::unique_lock lock(mutex_);
  if (!running_ || stopping_) {
    lock.unlock();
    std::this_thread::sleep_for(RealTimeFor(std::chrono::milliseconds(milliseconds)));
    return;
  }
  main_ = MainState::kParkedUntil;
  mainWakeAtMs_ = NowMs() + milliseconds;
  ParkLocked(lock);
}

std::uintptr_t Scheduler::CreateEvent() {
  std::lock_guard lock(mutex_);
  const std::uintptr_t handle = nextEvent_++;
  events_.emplace(handle, false);
  return handle;
}

bool Scheduler::SetEvent(std::uintptr_t event) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return false;
  it->second = true;
  if (main_ == MainState::kParkedOnEvent && mainWaitsOn_ == event) main_ = MainState::kRunning;
  changed_.notify_all();
  return true;
}

std::uint32_t Scheduler::WaitEvent(std::uintptr_t event) {
  std::unique_lock lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return os::kWaitFailed;
  if (!it->second) {
    main_ = MainState::kParkedOnEvent;
    mainWaitsOn_ = event;
    ParkLocked(lock);
  } else {
    changed_.wait(lock, [this] { return !delivering_; });
  }
  it = events_.find(event);
  if (it == events_.end()) return os::kWaitFailed;
  it->second = false;  // auto-reset: the wait consumes the signal
  return os::kWaitObject0;
}

void Scheduler::CloseEvent(std::uintptr_t event) {
  std::lock_guard lock(mutex_);
  events_.erase(event);
}

std::size_t Scheduler::LiveEvents() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

}  // namespace korvi::sim
