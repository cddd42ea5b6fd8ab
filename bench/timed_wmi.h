// The WMI seam as the Linux build has it (the simulated notebook's COM/WMI and firmware),
// passed through with two moments of each firmware method call taken: when the call starts
// (its first platform step, making the text "root\wmi", begins) and when ExecMethod, the step
// that reaches the firmware, begins.
//
// ExecMethod also lasts at least the firmware's working time on the steady clock. The
// simulated firmware parks for it on the scheduler's real-time clock, which counts whole
// milliseconds, so a call of 20 ms could end after 19.1 ms; a benchmark that states the
// working time must not be handed calls shorter than it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "wlan_power/wmi_service.h"

namespace korvi::bench {

class TimedWmi final : public wlan_power::WmiPlatform {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Moment { kCallStart, kExecMethod };

  TimedWmi(wlan_power::WmiPlatform& inner, std::chrono::milliseconds firmwareTime)
      : inner_(inner), firmwareTime_(firmwareTime) {}

  wlan_power::HResult SysAllocString(const wchar_t* text, std::unique_ptr<wlan_power::WmiText>& out) noexcept override;
  wlan_power::HResult CoInitialize() noexcept override { return inner_.CoInitialize(); }
  void CoUninitialize() noexcept override { inner_.CoUninitialize(); }
  wlan_power::HResult CoInitializeSecurity() noexcept override { return inner_.CoInitializeSecurity(); }
  // The locator comes wrapped, so that the services it connects to time their ExecMethod.
  wlan_power::HResult CoCreateInstance(std::unique_ptr<wlan_power::WbemLocator>& locator) noexcept override;

  // Blocks until the moment has come n times (counting from 1), for at most `limit`; answers
  // when it last came, or nothing when the limit passed first.
  std::optional<Clock::time_point> Await(Moment moment, std::int64_t n, Clock::duration limit);
  std::int64_t Count(Moment moment) const;
  // When the moment first came; nothing while it has not.
  std::optional<Clock::time_point> First(Moment moment) const;

  // Taken by the wrapped services.
  void Mark(Moment moment) noexcept;
  // The least time an ExecMethod lasts.
  std::chrono::milliseconds firmwareTime() const noexcept { return firmwareTime_; }

 private:
  struct Seen {
    std::int64_t count = 0;
    Clock::time_point first{};
    Clock::time_point last{};
  };
  Seen& SeenFor(Moment moment) noexcept { return moment == Moment::kCallStart ? callStarts_ : execMethods_; }

  wlan_power::WmiPlatform& inner_;
  const std::chrono::milliseconds firmwareTime_;
  mutable std::mutex mutex_;
  std::condition_variable marked_;
  Seen callStarts_;
  Seen execMethods_;
};

}  // namespace korvi::bench
