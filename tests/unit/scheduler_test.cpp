// The simulated notebook's virtual clock: time moves only while the main thread is parked,
// jumps to what comes next, ends a park before an item due at the same moment, and never lets
// the main thread go on while an item runs.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <vector>

#include "os/os_platform.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {
namespace {

// A started virtual scheduler and a log of what ran, with the simulated moment of each entry.
struct VirtualRig {
  VirtualRig() { scheduler.Start(); }
  ~VirtualRig() { scheduler.Stop(); }
  void Note(const std::string& what) {
    std::lock_guard lock(mutex);
    log.push_back(what + "@" + std::to_string(scheduler.NowMs()));
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(mutex);
    return log;
  }
  Scheduler scheduler;
  std::mutex mutex;
  std::vector<std::string> log;
};

TEST(VirtualClock, TimeStandsStillWhileTheMainThreadWorksAndJumpsWhileItIsParked) {
  VirtualRig rig;
  rig.scheduler.Post(100, [&] { rig.Note("item"); });
  rig.scheduler.Post(200, [&] { rig.Note("late item"); });
  EXPECT_EQ(rig.scheduler.NowMs(), 0);
  EXPECT_TRUE(rig.Log().empty()) << "an item due later ran before the main thread parked";
  rig.scheduler.ParkFor(150);
  EXPECT_EQ(rig.scheduler.NowMs(), 150);
  EXPECT_EQ(rig.Log(), std::vector<std::string>{"item@100"});
  rig.scheduler.ParkFor(50);  // a park that ends where an item is due ends first
  EXPECT_EQ(rig.scheduler.NowMs(), 200);
  EXPECT_EQ(rig.Log(), std::vector<std::string>{"item@100"});
  rig.scheduler.ParkFor(1);
  EXPECT_EQ(rig.Log(), (std::vector<std::string>{"item@100", "late item@200"}));
}

TEST(VirtualClock, ItemsAtOneMomentRunInPostingOrderWithTheMainThreadBetweenWhenTheyWakeIt) {
  VirtualRig rig;
  const std::uintptr_t event = rig.scheduler.CreateEvent();
  for (int i = 0; i < 3; ++i) {
    rig.scheduler.Post(10, [&, i] {
      rig.Note("signal " + std::to_string(i));
      rig.scheduler.SetEvent(event);
    });
  }
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(rig.scheduler.WaitEvent(event), os::kWaitObject0);
    rig.Note("woke");
  }
  EXPECT_EQ(rig.Log(), (std::vector<std::string>{"signal 0@10", "woke@10", "signal 1@10", "woke@10", "signal 2@10",
                                                 "woke@10"}));
  rig.scheduler.CloseEvent(event);
}

TEST(VirtualClock, TheMainThreadDoesNotGoOnWhileTheItemThatWokeItRuns) {
  VirtualRig rig;
  const std::uintptr_t event = rig.scheduler.CreateEvent();
  std::atomic<bool> itemOver{false};
  rig.scheduler.Post(5, [&] {
    rig.scheduler.SetEvent(event);
    // Work after the signal, as the handler's message after its SetEvent: the main thread
    // must not see the world until the item is over.
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    itemOver.store(true);
  });
  ASSERT_EQ(rig.scheduler.WaitEvent(event), os::kWaitObject0);
  EXPECT_TRUE(itemOver.load());
  rig.scheduler.CloseEvent(event);
}

struct TimedWaitCase {
  const char* name;
  std::optional<std::int64_t> signalAt;  // none: nothing signals
  std::int64_t timeoutMs;
  std::uint32_t expected;
  std::int64_t expectedNowMs;
};

class TimedWait : public ::testing::TestWithParam<TimedWaitCase> {};

TEST_P(TimedWait, EndsAtTheSignalOrAtTheTimeOutInSimulatedTime) {
  const TimedWaitCase& c = GetParam();
  VirtualRig rig;
  const std::uintptr_t event = rig.scheduler.CreateEvent(/*manualReset=*/true);
  if (c.signalAt) rig.scheduler.Post(*c.signalAt, [&] { rig.scheduler.SetEvent(event); });
  rig.scheduler.Post(40000, [] {});  // something later, so time has somewhere to go
  EXPECT_EQ(rig.scheduler.WaitEvent(event, c.timeoutMs), c.expected);
  EXPECT_EQ(rig.scheduler.NowMs(), c.expectedNowMs);
  rig.scheduler.CloseEvent(event);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimedWait,
    ::testing::Values(TimedWaitCase{"SignalledFirst", 12000, 30000, os::kWaitObject0, 12000},
                      TimedWaitCase{"NeverSignalled", std::nullopt, 30000, os::kWaitTimeout, 30000},
                      TimedWaitCase{"SignalAfterTheTimeOut", 35000, 30000, os::kWaitTimeout, 30000},
                      TimedWaitCase{"SignalAtTheTimeOutLosesTheTie", 30000, 30000, os::kWaitTimeout, 30000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualClock, AManualResetEventStaysSetAndAnAutoResetOneIsConsumed) {
  VirtualRig rig;
  const std::uintptr_t manual = rig.scheduler.CreateEvent(true);
  const std::uintptr_t automatic = rig.scheduler.CreateEvent(false);
  rig.scheduler.SetEvent(manual);
  rig.scheduler.SetEvent(automatic);
  EXPECT_EQ(rig.scheduler.WaitEvent(manual, 10), os::kWaitObject0);
  EXPECT_EQ(rig.scheduler.WaitEvent(manual, 10), os::kWaitObject0);
  EXPECT_EQ(rig.scheduler.WaitEvent(automatic, 10), os::kWaitObject0);
  EXPECT_EQ(rig.scheduler.WaitEvent(automatic, 10), os::kWaitTimeout);
  EXPECT_EQ(rig.scheduler.LiveEvents(), 2u);
  rig.scheduler.CloseEvent(manual);
  rig.scheduler.CloseEvent(automatic);
  EXPECT_EQ(rig.scheduler.WaitEvent(manual, 10), os::kWaitFailed);
  EXPECT_EQ(rig.scheduler.LiveEvents(), 0u);
}

TEST(VirtualClock, AStoppedClockLetsNoTimePass) {
  Scheduler scheduler;  // never started
  const std::uintptr_t event = scheduler.CreateEvent(true);
  scheduler.ParkFor(30000);
  EXPECT_EQ(scheduler.WaitEvent(event, 30000), os::kWaitTimeout);
  EXPECT_EQ(scheduler.NowMs(), 0);
  scheduler.CloseEvent(event);
}

// An item that ran only once the main thread parks would never run here: the test would hang.
TEST(RealTimeClock, RunningADueItemWithoutTheMainThreadParkingNeverHangs) {
  Scheduler scheduler(Clock::kRealTime, 1000.0);
  std::promise<void> ran;
  scheduler.Post(1, [&] { ran.set_value(); });
  scheduler.Start();
  ran.get_future().wait();  // the main thread never parks here
  scheduler.Stop();
}

}  // namespace
}  // namespace korvi::sim
