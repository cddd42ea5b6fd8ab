// The transmission-state handler's copy of the loop's event, and the guard that keeps a
// delivery from signalling it once it is closed.
//
// On Windows the value of a closed handle is handed to the next kernel object that the process
// creates, so a SetEvent on a stale copy would signal a stranger. The closer therefore
// detaches the copy first and waits out a delivery that is inside SetEvent at that moment;
// only then may it close the event.
#pragma once

#include <atomic>
#include <cstdint>

#include "os/os_platform.h"

namespace korvi::cellular {

class HandlerEvent {
 public:
  // Main thread, before the handler is registered.
  void Attach(os::EventHandle event) noexcept;
  // The event that a delivery would signal now; null before Attach and after Detach.
  os::EventHandle Current() const noexcept;

  // Handler thread: signals the attached event, if any. Never blocks and never throws.
  void SetEvent() noexcept;

  // Main thread, before the event is closed: clears the copy, then waits until no delivery is
  // inside SetEvent. Once it returns no delivery can signal the event any more.
  void Detach() noexcept;

 private:
  std::atomic<os::EventHandle> event_{nullptr};
  // Deliveries between taking the copy and leaving the platform's SetEvent.
  std::atomic<std::uint32_t> signalling_{0};
};

}  // namespace korvi::cellular
