#include "cellular/handler_event.h"

namespace korvi::cellular {

void HandlerEvent::Attach(os::EventHandle event) noexcept { event_.store(event); }

os::EventHandle HandlerEvent::Current() const noexcept { return event_.load(); }

void HandlerEvent::SetEvent() noexcept {
  // Counted in before the copy is read. Both steps and both of Detach's are sequentially
  // consistent: a delivery that Detach's count missed reads the cleared copy.
  signalling_.fetch_add(1);
  const os::EventHandle event = event_.load();
  if (event != nullptr) os::Platform().SetEvent(event);
  signalling_.fetch_sub(1);
}

void HandlerEvent::Detach() noexcept {
  event_.store(nullptr);
  // A delivery in flight is inside one SetEvent call; the platform's own sleep gives its
  // thread the processor until it is out. So this is called only while the platform's threads
  // still run (never from code that runs as the process is torn down): a thread stopped
  // inside SetEvent would keep this loop waiting.
  while (signalling_.load() != 0) os::Platform().Sleep(1);
}

}  // namespace korvi::cellular
