#include "cellular/blocking_wait.h"

#include <condition_variable>
#include <mutex>

#include "os/os_platform.h"

namespace korvi::cellular {
namespace {

class CompletionWait final : public CompletionHandler {
 public:
  void OnCompleted() noexcept override {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    // This object stays alive while the platform holds it, so waking after the unlock is safe.
    completed_.notify_one();
  }

  // False when the time-out passed first.
  bool Wait(std::optional<std::chrono::milliseconds> timeout) {
    std::unique_lock lock(mutex_);
    if (!timeout) {
      completed_.wait(lock, [this] { return done_; });
      return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + os::Platform().RealTimeFor(*timeout);
    return completed_.wait_until(lock, deadline, [this] { return done_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable completed_;
  bool done_ = false;
};

}  // namespace

void WaitForCompletion(AsyncInfo& operation, std::optional<std::chrono::milliseconds> timeout) {
  auto handler = std::make_shared<CompletionWait>();
  operation.SetCompleted(handler);
  if (!handler->Wait(timeout)) {
    throw PlatformError(kTimeout, L"The operation did not complete in time.");
  }
}

}  // namespace korvi::cellular
