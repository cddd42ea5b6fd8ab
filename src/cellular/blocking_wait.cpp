#include "cellular/blocking_wait.h"

#include <new>
#include <string>
#include <utility>

#include "os/os_platform.h"

namespace korvi::cellular {
namespace {

// The platform holds this object while it may call it, and the signal lives inside it, so a
// completion that comes after the waiter has given up sets a signal that is still alive.
class CompletionWait final : public CompletionHandler {
 public:
  explicit CompletionWait(std::unique_ptr<os::CompletionSignal> signal) noexcept : signal_(std::move(signal)) {}
  void OnCompleted() noexcept override { signal_->Set(); }
  // False when the time-out passed first.
  bool Wait(std::optional<std::chrono::milliseconds> timeout) noexcept { return signal_->Wait(timeout); }

 private:
  const std::unique_ptr<os::CompletionSignal> signal_;
};

}  // namespace

void WaitForCompletion(AsyncInfo& operation, std::optional<std::chrono::milliseconds> timeout, const wchar_t* request) {
  std::unique_ptr<os::CompletionSignal> signal = os::Platform().CreateCompletionSignal();
  // A platform that cannot make a signal has run out of memory or handles.
  if (!signal) throw std::bad_alloc();
  auto handler = std::make_shared<CompletionWait>(std::move(signal));
  operation.SetCompleted(handler);
  if (!handler->Wait(timeout)) {
    // Abandoned before it is released, so that an answer the modem gives later (a SAR command
    // carried out after start-up has said it failed) changes nothing. Whether the platform
    // could cancel it or not, the time-out is what the caller hears of.
    try {
      operation.Cancel();
    } catch (const PlatformError&) {
    }
    throw PlatformError(kTimeout, std::wstring(request != nullptr ? request : kSomeOperation) +
                                      L" did not complete within " + std::to_wstring(timeout->count()) + L" ms.");
  }
}

}  // namespace korvi::cellular
