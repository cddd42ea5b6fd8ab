#include "wake_probe.h"

#include <stdexcept>

namespace korvi::bench {

WakeProbe::WakeProbe(std::function<void()> wait, std::function<void()> signal)
    : wait_(std::move(wait)), signal_(std::move(signal)), waiter_([this] { Run(); }) {}

WakeProbe::~WakeProbe() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
    stopping_ = true;
  }
  // The waiter is in its wait, or will see stopping_ before it waits; either way one signal
  // lets it leave.
  signal_();
  waiter_.join();
}

void WakeProbe::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      ready_ = true;
      changed_.notify_all();
      if (stopping_) return;
    }
    wait_();
    const auto woke = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    wokeAt_ = woke;
    woken_ = true;
    changed_.notify_all();
  }
}

Nanoseconds WakeProbe::Sample(std::chrono::microseconds settle) {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
    ready_ = false;
    woken_ = false;
  }
  std::this_thread::sleep_for(settle);
  const auto signalled = std::chrono::steady_clock::now();
  signal_();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return woken_; });
  return std::chrono::duration_cast<Nanoseconds>(wokeAt_ - signalled);
}

EventWakeProbe::EventWakeProbe()
    : scheduler_(sim::Clock::kRealTime),
      debug_(sim::DebugSink::OpenFile("/dev/null")),
      os_(faults_, scheduler_, *debug_, sim::Recorder::Nothing()) {
  event_ = os_.CreateAutoResetEvent();
  if (event_ == nullptr) throw std::runtime_error("the platform's event could not be made");
  probe_ = std::make_unique<WakeProbe>([this] { os_.WaitForEvent(event_, std::nullopt); }, [this] { os_.SetEvent(event_); });
}

EventWakeProbe::~EventWakeProbe() {
  probe_.reset();
  os_.CloseEvent(event_);
}

ConditionVariableWakeProbe::ConditionVariableWakeProbe() {
  probe_ = std::make_unique<WakeProbe>(
      [this] {
        std::unique_lock lock(mutex_);
        signalled_.wait(lock, [this] { return set_; });
        set_ = false;  // auto-reset, as the event
      },
      [this] {
        {
          std::lock_guard lock(mutex_);
          set_ = true;
        }
        signalled_.notify_one();
      });
}

}  // namespace korvi::bench
