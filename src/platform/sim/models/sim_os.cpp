#include "platform/sim/models/sim_os.h"

#include <cstdio>

#include "os/text_encoding.h"

namespace korvi::sim {
namespace {
std::uintptr_t Handle(os::EventHandle event) { return reinterpret_cast<std::uintptr_t>(event); }
}  // namespace

os::EventHandle SimOs::CreateAutoResetEvent() noexcept {
  try {
    if (faults_.Check("CreateEvent")) return nullptr;
    return reinterpret_cast<os::EventHandle>(scheduler_.CreateEvent());
  } catch (...) {
    return nullptr;
  }
}

bool SimOs::SetEvent(os::EventHandle event) noexcept {
  try {
    return scheduler_.SetEvent(Handle(event));
  } catch (...) {
    return false;
  }
}

void SimOs::FlushConsole() noexcept {
  // Everything the service wrote before it waits reaches the console (or the pipe) now.
  std::fflush(stdout);
}

std::uint32_t SimOs::WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept {
  FlushConsole();
  std::uint32_t result = os::kWaitFailed;
  try {
    if (auto fault = faults_.Check("WaitForTxEvent")) {
      result = static_cast<std::uint32_t>(*fault);
    } else {
      if (timeout && onTimelineSpent_ && scheduler_.NothingAhead(Handle(event))) onTimelineSpent_();
      const auto ms = timeout ? std::optional<std::int64_t>(timeout->count()) : std::nullopt;
      result = scheduler_.WaitEvent(Handle(event), ms);
    }
  } catch (...) {
    result = os::kWaitFailed;
  }
  // A time-out wakes nobody: the loop only checks the radio and waits again.
  if (result == os::kWaitTimeout) return result;
  // Stamped on the main thread once the wait is over: the loop is running again, so no
  // notification can come between the wake-up and its record.
  recorder_.Wake(result);
  return result;
}

os::InstanceLock SimOs::AcquireInstanceLock() noexcept {
  return anotherInstance_ ? os::InstanceLock::kHeldElsewhere : os::InstanceLock::kAcquired;
}

void SimOs::CloseEvent(os::EventHandle event) noexcept {
  try {
    scheduler_.CloseEvent(Handle(event));
  } catch (...) {
  }
}

void SimOs::Sleep(std::uint32_t milliseconds) noexcept {
  FlushConsole();
  try {
    scheduler_.ParkFor(milliseconds);
  } catch (...) {
  }
}

void SimOs::WriteDebugOutput(const std::wstring& message) noexcept {
  try {
    debug_.Write(os::Utf8FromWide(message));
  } catch (...) {
  }
}

void SimOs::WriteConsole(std::string_view text) noexcept {
  // One fwrite is one locked write of the stream, so a message from the platform thread never
  // lands inside another message. The stream is flushed before each wait of the service's
  // (FlushConsole) and at exit, not after every message: a storm of changes would otherwise
  // cost a system call per line.
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!text.empty()) consoleLineOpen_.store(text.back() != '\n');
}

std::unique_ptr<os::CompletionSignal> SimOs::CreateCompletionSignal() noexcept {
  try {
    return std::make_unique<SchedulerCompletionSignal>(scheduler_);
  } catch (...) {
    return nullptr;
  }
}

SchedulerCompletionSignal::SchedulerCompletionSignal(Scheduler& scheduler)
    : scheduler_(scheduler), event_(scheduler.CreateEvent(/*manualReset=*/true)) {}

SchedulerCompletionSignal::~SchedulerCompletionSignal() {
  try {
    scheduler_.CloseEvent(event_);
  } catch (...) {
  }
}

void SchedulerCompletionSignal::Set() noexcept {
  try {
    scheduler_.SetEvent(event_);
  } catch (...) {
  }
}

bool SchedulerCompletionSignal::Wait(std::optional<std::chrono::milliseconds> timeout) noexcept {
  try {
    const auto ms = timeout ? std::optional<std::int64_t>(timeout->count()) : std::nullopt;
    return scheduler_.WaitEvent(event_, ms) == os::kWaitObject0;
  } catch (...) {
    return false;
  }
}

}  // namespace korvi::sim
