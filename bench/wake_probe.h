// The floor under the reaction: one thread blocked in a wait, another wakes it. A sample is
// the time from just before the signal to just after the wait returns, for a waiter that has
// been blocked for a while (not one still spinning on its way into the wait).
//
// EventWakeProbe uses the auto-reset event of the Linux build's platform (the simulated
// notebook's scheduler event) bare: on a scheduler of its own whose platform thread is not
// started, so that a sample is the event's own cost. (In the service that thread runs and
// every signal wakes it too, through the scheduler's one condition variable; that cost is
// the platform's, and shows in the reaction, not in the floor.) ConditionVariableWakeProbe
// uses a bare std::condition_variable, for reference.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "os/os_platform.h"
#include "platform/sim/files/debug_sink.h"
#include "platform/sim/models/sim_os.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scheduler/scheduler.h"
#include "samples.h"

namespace korvi::bench {

// Runs the waiter thread and takes samples; the primitive comes in as its two halves.
class WakeProbe {
 public:
  WakeProbe(std::function<void()> wait, std::function<void()> signal);
  ~WakeProbe();  // stops and joins the waiter
  WakeProbe(const WakeProbe&) = delete;
  WakeProbe& operator=(const WakeProbe&) = delete;

  // One wake of the waiter after it has been blocked for `settle`.
  Nanoseconds Sample(std::chrono::microseconds settle);

 private:
  void Run();

  std::function<void()> wait_;
  std::function<void()> signal_;
  std::mutex mutex_;  // guards the hand-over below, never the primitive being measured
  std::condition_variable changed_;
  bool ready_ = false;
  bool woken_ = false;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point wokeAt_{};
  std::thread waiter_;
};

class EventWakeProbe {
 public:
  EventWakeProbe();
  ~EventWakeProbe();
  EventWakeProbe(const EventWakeProbe&) = delete;
  EventWakeProbe& operator=(const EventWakeProbe&) = delete;
  Nanoseconds Sample(std::chrono::microseconds settle) { return probe_->Sample(settle); }

 private:
  sim::FaultTable faults_;
  sim::Scheduler scheduler_;
  std::unique_ptr<sim::DebugSink> debug_;
  sim::SimOs os_;
  os::EventHandle event_ = nullptr;
  std::unique_ptr<WakeProbe> probe_;
};

class ConditionVariableWakeProbe {
 public:
  ConditionVariableWakeProbe();
  Nanoseconds Sample(std::chrono::microseconds settle) { return probe_->Sample(settle); }

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
  std::unique_ptr<WakeProbe> probe_;  // last: its waiter uses the members above
};

}  // namespace korvi::bench
