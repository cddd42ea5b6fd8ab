// The simulated notebook's kernel objects and output: events, completion signals and sleeps
// on the scheduler's simulated time, standard output, and the debug sink. Each return of the
// event wait is reported as a wake-up of the service's loop.
#pragma once

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
  std::uint32_t WaitForEvent(os::EventHandle event) noexcept override;
  void CloseEvent(os::EventHandle event) noexcept override;
  void Sleep(std::uint32_t milliseconds) noexcept override;
  void WriteDebugOutput(const std::wstring& message) noexcept override;
  void WriteConsole(std::string_view text) noexcept override;
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override;

 private:
  static void FlushConsole() noexcept;

  FaultTable& faults_;
  Scheduler& scheduler_;
  DebugSink& debug_;
  Recorder& recorder_;
};

}  // namespace korvi::sim
