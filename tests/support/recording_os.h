// The tests' fake of the OS seam (unit tests and fuzz harnesses): records the console and the
// debug channel in the order of the writes, and gives events that behave as auto-reset events
// do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "os/os_platform.h"

namespace korvi::testing {

class RecordingOs : public os::OsPlatform {
 public:
  // A completion signal on the steady clock, its time-out shortened by `speed`.
  class SteadySignal final : public os::CompletionSignal {
   public:
    explicit SteadySignal(double speed) : speed_(speed) {}
    void Set() noexcept override {
      {
        std::lock_guard lock(mutex_);
        set_ = true;
      }
      setNow_.notify_all();
    }
    bool Wait(std::optional<std::chrono::milliseconds> timeout) noexcept override {
      std::unique_lock lock(mutex_);
      if (!timeout) {
        setNow_.wait(lock, [this] { return set_; });
        return true;
      }
      const std::chrono::duration<double, std::milli> real(static_cast<double>(timeout->count()) / speed_);
      return setNow_.wait_for(lock, real, [this] { return set_; });
    }

   private:
    const double speed_;
    std::mutex mutex_;
    std::condition_variable setNow_;
    bool set_ = false;
  };

  struct Write {
    bool debug;         // true: the debug channel
    std::string text;   // the console text, or the debug message narrowed (ASCII only)
  };

  RecordingOs() { os::UsePlatform(*this); }

  os::EventHandle CreateAutoResetEvent() noexcept override {
    std::lock_guard lock(mutex_);
    const std::uintptr_t handle = next_++;
    events_[handle] = false;
    return reinterpret_cast<os::EventHandle>(handle);
  }
  bool SetEvent(os::EventHandle event) noexcept override {
    if (onSetEvent) onSetEvent(event);
    std::lock_guard lock(mutex_);
    auto it = events_.find(reinterpret_cast<std::uintptr_t>(event));
    if (it == events_.end()) return false;
    it->second = true;
    signalled_.notify_all();
    return true;
  }
  std::uint32_t WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept override {
    std::unique_lock lock(mutex_);
    waitBounds_.push_back(timeout);
    if (failWaitsWith) return *failWaitsWith;
    if (timeout && timeOutWaits > 0) {
      --timeOutWaits;
      return os::kWaitTimeout;
    }
    const auto handle = reinterpret_cast<std::uintptr_t>(event);
    if (events_.find(handle) == events_.end()) return os::kWaitFailed;
    signalled_.wait(lock, [&] { return events_.count(handle) == 0 || events_[handle]; });
    if (events_.count(handle) == 0) return os::kWaitFailed;
    events_[handle] = false;
    return os::kWaitObject0;
  }
  void CloseEvent(os::EventHandle event) noexcept override {
    if (onCloseEvent) onCloseEvent(event);
    std::lock_guard lock(mutex_);
    events_.erase(reinterpret_cast<std::uintptr_t>(event));
    ++closed_;
    signalled_.notify_all();
  }
  void Sleep(std::uint32_t milliseconds) noexcept override {
    if (onSleep) onSleep(milliseconds);
    std::lock_guard lock(mutex_);
    sleeps_.push_back(milliseconds);
  }
  void WriteDebugOutput(const std::wstring& message) noexcept override {
    std::lock_guard lock(mutex_);
    writes_.push_back({true, std::string(message.begin(), message.end())});
    debugMessages_.push_back(message);
  }
  void WriteConsole(std::string_view text) noexcept override {
    std::lock_guard lock(mutex_);
    writes_.push_back({false, std::string(text)});
  }
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override {
    if (makeSignal) return makeSignal();
    return std::make_unique<SteadySignal>(speed);
  }
  os::InstanceLock AcquireInstanceLock() noexcept override {
    ++instanceLockTaken;
    return instanceLock;
  }
  // What taking the one-instance lock answers, and how often it was taken.
  os::InstanceLock instanceLock = os::InstanceLock::kAcquired;
  int instanceLockTaken = 0;
  // This many bounded waits time out at once (the fake has no clock of its own); the others
  // wait for a signal however long they are bounded.
  int timeOutWaits = 0;
  // Platform time runs `speed` times faster than the steady clock, as on a fast notebook.
  double speed = 1.0;
  // Set: completion signals come from here (a simulated notebook's, on its own time).
  std::function<std::unique_ptr<os::CompletionSignal>()> makeSignal;
  // Set: every wait answers this instead of waiting.
  std::optional<std::uint32_t> failWaitsWith;
  // Set: called at the start of the call, on the calling thread and outside the fake's lock,
  // so that a test can record the state at that moment, or hold the caller there.
  std::function<void(os::EventHandle)> onSetEvent;
  std::function<void(os::EventHandle)> onCloseEvent;
  std::function<void(std::uint32_t)> onSleep;

  // The bound of every event wait so far, in order (none: unbounded).
  std::vector<std::optional<std::chrono::milliseconds>> WaitBounds() const {
    std::lock_guard lock(mutex_);
    return waitBounds_;
  }

  // Whether the event is signalled now, without consuming the signal.
  bool IsSignalled(os::EventHandle event) const {
    std::lock_guard lock(mutex_);
    auto it = events_.find(reinterpret_cast<std::uintptr_t>(event));
    return it != events_.end() && it->second;
  }

  std::string Console() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const Write& w : writes_)
      if (!w.debug) all += w.text;
    return all;
  }
  std::vector<std::string> Debug() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> all;
    for (const Write& w : writes_)
      if (w.debug) all.push_back(w.text);
    return all;
  }
  // The debug messages whole, every wide character as it came.
  std::vector<std::wstring> DebugMessages() const {
    std::lock_guard lock(mutex_);
    return debugMessages_;
  }
  std::vector<Write> Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }
  std::vector<std::uint32_t> Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }
  int Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable signalled_;
  std::map<std::uintptr_t, bool> events_;
  std::uintptr_t next_ = 1;
  std::vector<Write> writes_;
  std::vector<std::wstring> debugMessages_;
  std::vector<std::uint32_t> sleeps_;
  std::vector<std::optional<std::chrono::milliseconds>> waitBounds_;
  int closed_ = 0;
};

}  // namespace korvi::testing
