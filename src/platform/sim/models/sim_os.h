// The simulated notebook's kernel objects and output: events, completion signals and sleeps
// on the scheduler's simulated time, standard output, the debug sink, and the notebook's
// one-instance lock. Each return of the event wait but a time-out is reported as a wake-up of
// the service's loop.
#pragma once

#include <atomic>
#include <functional>

#include "os/os_platform.h"
#include "platform/sim/files/debug_sink.h"
#include "platform/sim/recorder/recorder.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {

// A completion signal on the scheduler: a manual-reset event of its own, waited on with the
// time-out in simulated time. Counted among the live events until it is destroyed.
class SchedulerCompletionSignal final : public os::CompletionSignal {
 public:
  explicit SchedulerCompletionSignal(Scheduler& scheduler);
  ~SchedulerCompletionSignal() override;
  SchedulerCompletionSignal(const SchedulerCompletionSignal&) = delete;
  SchedulerCompletionSignal& operator=(const SchedulerCompletionSignal&) = delete;

  void Set() noexcept override;
  bool Wait(std::optional<std::chrono::milliseconds> timeout) noexcept override;

 private:
  Scheduler& scheduler_;
  const std::uintptr_t event_;
};

class SimOs final : public os::OsPlatform {
 public:
  SimOs(FaultTable& faults, Scheduler& scheduler, DebugSink& debug, Recorder& recorder)
      : faults_(faults), scheduler_(scheduler), debug_(debug), recorder_(recorder) {}

  os::EventHandle CreateAutoResetEvent() noexcept override;
  bool SetEvent(os::EventHandle event) noexcept override;
  std::uint32_t WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept override;
  void CloseEvent(os::EventHandle event) noexcept override;
  void Sleep(std::uint32_t milliseconds) noexcept override;
  void WriteDebugOutput(const std::wstring& message) noexcept override;
  void WriteConsole(std::string_view text) noexcept override;
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override;
  os::InstanceLock AcquireInstanceLock() noexcept override;

  // Another process holds the one-instance lock (a scenario's "another_instance").
  void SetAnotherInstance(bool held) noexcept { anotherInstance_ = held; }

  // Called on the service's thread when it begins a bounded wait on its event with nothing
  // left on the timeline and the event not signalled: from then on it would only check the
  // radio once a bound, for ever. A host that runs a scenario to its end ends the run there;
  // without a handler the wait goes on (a host that signals the service itself, the
  // benchmarks).
  void SetTimelineSpentHandler(std::function<void()> handler) { onTimelineSpent_ = std::move(handler); }

  // Whether the console's last byte left its line open (most of the service's messages end
  // without a line break); from then on the line counts as ended. A host whose own lines show
  // where the console does ends that line first when this says so, and adds no empty line
  // when it does not.
  bool TakeOpenConsoleLine() noexcept { return consoleLineOpen_.exchange(false); }

 private:
  static void FlushConsole() noexcept;

  FaultTable& faults_;
  Scheduler& scheduler_;
  DebugSink& debug_;
  Recorder& recorder_;
  bool anotherInstance_ = false;
  std::function<void()> onTimelineSpent_;
  std::atomic<bool> consoleLineOpen_{false};
};

}  // namespace korvi::sim
