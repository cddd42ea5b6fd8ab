// The seam to the operating system's kernel objects and output: the auto-reset event that
// wakes the monitoring loop, sleeping, the debug-output call and the console.
#pragma once

#include "os/owner.h"
#include "os/platform_slot.h"
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvi::os {

// An event handle as the platform hands it out; null when creation failed.
using EventHandle = void*;

// Wait results, as the platform's wait call gives them.
inline constexpr std::uint32_t kWaitObject0 = 0x00000000;
inline constexpr std::uint32_t kWaitAbandoned = 0x00000080;
inline constexpr std::uint32_t kWaitTimeout = 0x00000102;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// The end of one asynchronous platform operation, as a signal that the platform's completion
// callback sets (from any thread) and one thread waits on. It is set once and stays set.
class CompletionSignal {
 public:
  virtual ~CompletionSignal() = default;
  virtual void Set() noexcept = 0;
  // True once set; false when the time-out, in the platform's own time, passed first (none:
  // no time-out).
  virtual bool Wait(std::optional<std::chrono::milliseconds> timeout) noexcept = 0;
};

// What taking the one-instance lock found.
enum class InstanceLock {
  kAcquired,      // this process is the one instance
  kHeldElsewhere, // another process holds it (in this logon session or another)
  kUnavailable,   // the lock could not be made for another reason: nobody is known to watch
};

class OsPlatform {
 public:
  virtual ~OsPlatform() = default;

  // An auto-reset, initially unsignalled, unnamed event; null on failure.
  virtual EventHandle CreateAutoResetEvent() noexcept = 0;
  // Signals the event; false when the handle is not a live event.
  virtual bool SetEvent(EventHandle event) noexcept = 0;
  // Waits, not alertable, at most `timeout` of the platform's own time (none: no time-out);
  // answers kWaitObject0, kWaitTimeout, kWaitAbandoned or kWaitFailed (a null or closed handle
  // fails).
  virtual std::uint32_t WaitForEvent(EventHandle event, std::optional<std::chrono::milliseconds> timeout) noexcept = 0;
  virtual void CloseEvent(EventHandle event) noexcept = 0;

  virtual void Sleep(std::uint32_t milliseconds) noexcept = 0;

  // Hands one whole debug message to the platform's debug channel. Never standard output.
  virtual void WriteDebugOutput(const std::wstring& message) noexcept = 0;
  // Writes text to standard output as one write.
  virtual void WriteConsole(std::string_view text) noexcept = 0;

  // Takes the notebook's one-instance lock and holds it until the process ends. Answers
  // whether this process holds it now.
  virtual InstanceLock AcquireInstanceLock() noexcept = 0;

  // A new, unset completion signal; null when the platform could not make one. The wait on it
  // is a platform wait: on a simulated notebook, simulated time passes while it lasts.
  virtual std::unique_ptr<CompletionSignal> CreateCompletionSignal() noexcept = 0;
};

// The platform in use for the whole process; installed once, before the service starts.
inline PlatformSlot<OsPlatform> installedPlatform;
inline void UsePlatform(OsPlatform& platform) noexcept { installedPlatform.Install(platform); }
inline OsPlatform& Platform() noexcept { return installedPlatform.Get(); }

// An event handle as an owner holds it: closed through the installed platform.
struct EventTraits {
  using Value = EventHandle;
  static Value Empty() noexcept { return nullptr; }
  static bool Holds(const Value& event) noexcept { return event != nullptr; }
  static void Free(Value& event) noexcept { Platform().CloseEvent(event); }
};

// Owns one event handle and closes it when it goes out of scope.
using UniqueEvent = Owner<EventTraits>;

}  // namespace korvi::os
