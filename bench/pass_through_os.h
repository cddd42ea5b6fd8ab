// The OS seam handed on unchanged to the platform below, call for call: the base of a
// benchmark's seam that watches a few calls and lets every other one through as it is.
#pragma once

#include "os/os_platform.h"

namespace korvi::bench {

class PassThroughOs : public os::OsPlatform {
 public:
  explicit PassThroughOs(os::OsPlatform& inner) : inner_(inner) {}

  os::EventHandle CreateAutoResetEvent() noexcept override { return inner_.CreateAutoResetEvent(); }
  bool SetEvent(os::EventHandle event) noexcept override { return inner_.SetEvent(event); }
  std::uint32_t WaitForEvent(os::EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept override {
    return inner_.WaitForEvent(event, timeout);
  }
  void CloseEvent(os::EventHandle event) noexcept override { inner_.CloseEvent(event); }
  void Sleep(std::uint32_t milliseconds) noexcept override { inner_.Sleep(milliseconds); }
  void WriteDebugOutput(const std::wstring& message) noexcept override { inner_.WriteDebugOutput(message); }
  void WriteConsole(std::string_view text) noexcept override { inner_.WriteConsole(text); }
  std::unique_ptr<os::CompletionSignal> CreateCompletionSignal() noexcept override {
    return inner_.CreateCompletionSignal();
  }
  os::InstanceLock AcquireInstanceLock() noexcept override { return inner_.AcquireInstanceLock(); }

 protected:
  os::OsPlatform& inner_;
};

}  // namespace korvi::bench
