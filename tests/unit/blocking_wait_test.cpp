// The blocking wait: completions before the wait, completions racing the waiter, failures
// raised on the waiting thread, and a completion that comes after the waiter gave up.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "cellular/blocking_wait.h"
#include "support/recording_os.h"

namespace korvi::cellular {
namespace {

// An operation that a test completes by hand, from any thread.
class ManualOperation final : public AsyncOperation<int> {
 public:
  void SetCompleted(std::shared_ptr<CompletionHandler> handler) override {
    std::unique_lock lock(mutex_);
    if (completed_) {
      lock.unlock();
      handler->OnCompleted();
      return;
    }
    handler_ = std::move(handler);
  }
  void Cancel() override {
    std::lock_guard lock(mutex_);
    ++cancels;
  }
  int cancels = 0;
  int GetResults() override {
    std::lock_guard lock(mutex_);
    if (error_ < 0) throw PlatformError(error_, L"failed");
    return value_;
  }
  void Complete(int value, std::int32_t error = 0) {
    std::shared_ptr<CompletionHandler> handler;
    {
      std::lock_guard lock(mutex_);
      completed_ = true;
      value_ = value;
      error_ = error;
      handler = std::move(handler_);
    }
    if (handler) handler->OnCompleted();
  }

 private:
  std::mutex mutex_;
  bool completed_ = false;
  std::shared_ptr<CompletionHandler> handler_;
  int value_ = 0;
  std::int32_t error_ = 0;
};

TEST(BlockingWaitTest, CompletedBeforeTheWaitReturnsAtOnce) {
  testing::RecordingOs os;
  ManualOperation operation;
  operation.Complete(7);
  EXPECT_EQ(Wait(operation, std::chrono::milliseconds(30000)), 7);
  EXPECT_EQ(operation.cancels, 0) << "a completed operation is not cancelled";
}

// A platform that cannot cancel: the caller still hears of the time-out.
TEST(BlockingWaitTest, ACancelThatFailsStillEndsInTheTimeOut) {
  class Uncancellable final : public AsyncAction {
   public:
    void SetCompleted(std::shared_ptr<CompletionHandler>) override {}
    void Cancel() override { throw PlatformError(static_cast<std::int32_t>(0x8000000E), L"illegal"); }
    void GetResults() override {}
  };
  testing::RecordingOs os;
  os.speed = 1000.0;
  Uncancellable action;
  try {
    Wait(action, std::chrono::milliseconds(50));
    ADD_FAILURE() << "no time-out";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.code(), kTimeout);
  }
}

TEST(BlockingWaitTest, FailureIsRaisedOnTheWaitingThread) {
  testing::RecordingOs os;
  ManualOperation operation;
  std::thread completer([&] { operation.Complete(0, static_cast<std::int32_t>(0x80004004)); });
  try {
    Wait(operation);
    ADD_FAILURE() << "no failure raised";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.code(), static_cast<std::int32_t>(0x80004004));
  }
  completer.join();
}

TEST(BlockingWaitTest, CompletionsRacingTheWaiter) {
  testing::RecordingOs os;
  for (int round = 0; round < 2000; ++round) {
    auto operation = std::make_shared<ManualOperation>();
    std::thread completer([operation, round] {
      if (round % 3 == 0) std::this_thread::yield();
      operation->Complete(round);
    });
    EXPECT_EQ(Wait(*operation), round);
    operation.reset();  // the waiter lets go at once; the completer may still be inside
    completer.join();
  }
}

TEST(BlockingWaitTest, LateCompletionAfterATimeOutTouchesOnlyItsOwnState) {
  testing::RecordingOs os;
  os.speed = 1000.0;
  auto operation = std::make_shared<ManualOperation>();
  try {
    Wait(*operation, std::chrono::milliseconds(50), L"The test's request");
    ADD_FAILURE() << "no time-out";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.code(), kTimeout);
    EXPECT_EQ(error.message(), L"The test's request did not complete within 50 ms.") << "the time-out names its request";
  }
  EXPECT_EQ(operation->cancels, 1) << "an operation given up is cancelled before it is released";
  // The waiter's frame is gone; the completion still runs its handler safely.
  std::thread late([operation] { operation->Complete(1); });
  late.join();
}

TEST(BlockingWaitTest, APlatformWithoutASignalRunsOutOfMemoryInsteadOfWaiting) {
  testing::RecordingOs recording;
  recording.makeSignal = [] { return std::unique_ptr<os::CompletionSignal>(); };
  ManualOperation operation;
  operation.Complete(7);
  EXPECT_THROW(Wait(operation), std::bad_alloc);
}

}  // namespace
}  // namespace korvi::cellular
