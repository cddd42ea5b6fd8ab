// The cellular side against the simulated modem: SAR initialisation, the transmission-state
// monitor and its handler, the radio-state test and the monitor stop.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <new>
#include <optional>
#include <thread>

#include "cellular/blocking_wait.h"
#include "cellular/cellular_state.h"
#include "cellular/init_sar.h"
#include "cellular/radio_state.h"
#include "cellular/state_at_start.h"
#include "cellular/tx_status_monitor.h"
#include "platform/sim/models/apartments.h"
#include "platform/sim/models/object_count.h"
#include "platform/sim/models/sim_modem.h"
#include "platform/sim/models/sim_os.h"
#include "support/recording_os.h"

namespace korvi {
namespace {

using sim::CountedObject;
using sim::Fault;

// A simulated modem installed behind the cellular seam, with the process objects obtained as
// start-up obtains them and released again at the end of each test.
class ModemFixture : public ::testing::Test {
 protected:
  void Start(sim::ModemSetup setup = {}, std::vector<Fault> faults = {}) {
    baseline_ = CountedObject::Live();
    faults_ = std::make_unique<sim::FaultTable>(std::move(faults));
    // Simulated time: the 30 s bound of the set command passes at once.
    scheduler_ = std::make_unique<sim::Scheduler>();
    os_.makeSignal = [this] { return std::make_unique<sim::SchedulerCompletionSignal>(*scheduler_); };
    modem_ = std::make_unique<sim::SimModemPlatform>(setup, *faults_, *scheduler_, sim::Recorder::Nothing());
    cellular::UsePlatform(*modem_);
    scheduler_->Start();
    process_ = cellular::ObtainDefaultModem().objects;
    ASSERT_NE(process_, nullptr);
  }

  void TearDown() override {
    if (scheduler_) scheduler_->Stop();
    if (modem_) modem_->Shutdown();
    if (process_) process_->handlerShared->txEventForHandler.Detach();
    process_.reset();
    EXPECT_EQ(CountedObject::Live(), baseline_) << "platform objects leaked";
  }

  // TxStatusMonitor leaves the calling thread in the multithreaded apartment for good, so
  // each call runs on a thread of its own.
  template <class Body>
  static void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
  }

  testing::RecordingOs os_;
  std::unique_ptr<sim::FaultTable> faults_;
  std::unique_ptr<sim::Scheduler> scheduler_;
  std::unique_ptr<sim::SimModemPlatform> modem_;
  std::unique_ptr<cellular::ModemObjects> process_;
  std::int64_t baseline_ = 0;
};

// The SAR manager of the simulated modem, obtained as TxStatusMonitor obtains it.
std::shared_ptr<cellular::SarManager> SimSarManager(const cellular::ModemObjects& process) {
  auto request = process.modem->GetCurrentConfigurationAsync();
  return cellular::Wait(*request)->SarManager();
}

// The state request is answered with what the modem does when it answers; a request given up
// is cancelled, and the modem's later answer changes nothing.
TEST_F(ModemFixture, TheStateRequestAnswersTheModemsStateAndACancelDropsALateAnswer) {
  sim::ModemSetup setup;
  setup.isTransmittingMs = 2000;
  Start(setup);
  sim::TimelineItem start;
  start.atMs = 1000;
  start.transmitting = true;
  sim::TimelineItem stop;
  stop.atMs = 3000;
  stop.transmitting = false;
  modem_->Schedule({start, stop});
  const auto manager = SimSarManager(*process_);

  auto first = manager->GetIsTransmittingAsync();  // answered at 2000 ms
  EXPECT_TRUE(cellular::Wait(*first, std::chrono::milliseconds(30000)))
      << "the modem began to transmit before it answered";
  auto second = manager->GetIsTransmittingAsync();  // answered at 4000 ms
  EXPECT_FALSE(cellular::Wait(*second, std::chrono::milliseconds(30000)))
      << "the modem had stopped (its end not yet reported, within the hysteresis) when it answered";

  struct CountingHandler final : cellular::CompletionHandler {
    void OnCompleted() noexcept override { ++calls; }
    int calls = 0;
  };
  auto late = manager->GetIsTransmittingAsync();
  auto handler = std::make_shared<CountingHandler>();
  late->SetCompleted(handler);
  late->Cancel();
  EXPECT_EQ(handler->calls, 1) << "a cancelled operation ends at once";
  scheduler_->ParkFor(5000);  // past the modem's answer
  EXPECT_EQ(handler->calls, 1) << "the answer after the cancel was not dropped";
  try {
    late->GetResults();
    ADD_FAILURE() << "a cancelled operation gave a result";
  } catch (const cellular::PlatformError& error) {
    EXPECT_EQ(error.code(), static_cast<std::int32_t>(0x800704C7));
  }
}

// Only the handler that the token registered is removed; an unknown token is no error.
TEST_F(ModemFixture, RemovingAHandlerByItsTokenLeavesTheOthers) {
  Start();
  const auto manager = SimSarManager(*process_);
  struct Counting final : cellular::TransmissionStateChangedHandler {
    std::int32_t Invoke(const std::shared_ptr<cellular::SarManager>&,
                        const std::shared_ptr<cellular::TransmissionStateChangedEventArgs>&) noexcept override {
      ++calls;
      return 0;
    }
    int calls = 0;
  };
  auto first = std::make_shared<Counting>();
  auto second = std::make_shared<Counting>();
  const std::int64_t firstToken = manager->AddTransmissionStateChanged(first);
  const std::int64_t secondToken = manager->AddTransmissionStateChanged(second);
  EXPECT_NE(firstToken, secondToken);
  manager->StartTransmissionStateMonitoring();
  manager->RemoveTransmissionStateChanged(firstToken);
  manager->RemoveTransmissionStateChanged(firstToken + secondToken + 1);
  EXPECT_TRUE(modem_->DeliverNow(true));
  EXPECT_EQ(first->calls, 0) << "a removed handler still got a delivery";
  EXPECT_EQ(second->calls, 1);
  EXPECT_EQ(first.use_count(), 1) << "the platform still holds the removed handler";
}

constexpr const char* kRejected = "\n [Korvi] - InitSAR()  set sar config failed";

struct InitSarCase {
  const char* name;
  std::vector<Fault> faults;
  bool commandSession;
  std::uint32_t modemStatus;
  std::uint32_t expectedStatus;
  const char* expectedConsole;
};

class InitSarTest : public ModemFixture, public ::testing::WithParamInterface<InitSarCase> {};

TEST_P(InitSarTest, AnswersWithItsStatusAndReleasesEverything) {
  const InitSarCase& c = GetParam();
  sim::ModemSetup setup;
  setup.commandSession = c.commandSession;
  setup.sarStatusCode = c.modemStatus;
  Start(setup, c.faults);
  const std::int64_t held = CountedObject::Live();
  const int depth = sim::Apartments::Depth();

  EXPECT_EQ(cellular::InitSAR(*process_), c.expectedStatus);

  EXPECT_EQ(os_.Console(), c.expectedConsole);
  EXPECT_EQ(CountedObject::Live(), held) << "InitSAR kept platform objects";
  EXPECT_EQ(sim::Apartments::Depth(), depth) << "the runtime was not left as found";
}

const std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005);

INSTANTIATE_TEST_SUITE_P(
    Outcomes, InitSarTest,
    ::testing::Values(
        InitSarCase{"Accepted", {}, true, 0, 0, ""},
        InitSarCase{"NoCommandSession", {}, false, 0, 0, ""},
        InitSarCase{"ModemRejectsWithTwo", {}, true, 2, 2, kRejected},
        InitSarCase{"ModemRejectsWithOne", {}, true, 1, 1, kRejected},
        InitSarCase{"CreateFromByteArrayFails", {{"CreateFromByteArray", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"GetDeviceServiceFails", {{"GetDeviceService", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"OpenCommandSessionFails", {{"OpenCommandSession", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"SendFails", {{"SendSetCommandAsync", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"OperationFails", {{"GetResults", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"StatusCodeFails", {{"StatusCode", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"ResponseDataFails", {{"ResponseData", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"CopyToByteArrayFails", {{"CopyToByteArray", kAccessDenied, {}}}, true, 0, 1, ""},
        InitSarCase{"RoInitializeFailsButTheCommandIsSent", {{"RoInitialize", kAccessDenied, {}}}, true, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InitSarTest, RejectionNeverFetchesTheReply) {
  sim::ModemSetup setup;
  setup.sarStatusCode = 2;
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), 2u);
  EXPECT_EQ(faults_->Calls("ResponseData"), 0);
  EXPECT_EQ(faults_->Calls("CopyToByteArray"), 0);
}

TEST_F(InitSarTest, BufferFailureNeverAsksTheModem) {
  Start({}, {{"CreateFromByteArray", kAccessDenied, {}}});
  EXPECT_EQ(cellular::InitSAR(*process_), 1u);
  EXPECT_EQ(faults_->Calls("GetDeviceService"), 0);
}

TEST_F(InitSarTest, ShortReplyIsNotReadPastItsEnd) {
  sim::ModemSetup setup;
  setup.sarReply = {1, 0, 0, 0, 7};
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), 0u);
  const auto debug = os_.Debug();
  ASSERT_EQ(debug.size(), 2u);
  EXPECT_NE(debug[0].find("5 bytes"), std::string::npos);
  EXPECT_EQ(debug[1].rfind("\nSAR Mode: 1\nSAR BackOff Status: 7\n", 0), 0u);
}

TEST_F(InitSarTest, TheReportFollowsEveryPairOfTheWholeReply) {
  sim::ModemSetup setup;
  // two elements: pairs (32, 8) and (40, 8), entries (0, 3) and (1, 4), past the first 32 bytes
  setup.sarReply = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 32, 0, 0, 0, 8, 0, 0, 0,
                   40, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0};
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), 0u);
  const auto debug = os_.Debug();
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0],
            "\nSAR Mode: 1\nSAR BackOff Status: 1\nSAR Wifi Integration: 0\nElement Count: 2"
            "\nSAR Config Status Offset: 32\nSAR Config Status Size: 8\nSAR Antenna index: 0\nSAR Backoff index: 3"
            "\nSAR Config Status Offset: 40\nSAR Config Status Size: 8\nSAR Antenna index: 1\nSAR Backoff index: 4");
}

TEST_F(InitSarTest, AModemThatNeverAnswersTimesOutAsAPlatformError) {
  sim::ModemSetup setup;
  setup.commandMs = std::nullopt;
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), 1u);
  EXPECT_EQ(scheduler_->NowMs(), 30000) << "the wait is bounded at 30 s of platform time";
  EXPECT_EQ(os_.Console(), "");
}

// The bound from both sides: an answer 1 ms inside it is read, one that comes as it runs out
// is not (on a tie the wait's time-out comes first).
struct BoundCase {
  std::int64_t answerMs;
  std::uint32_t expectedStatus;
  const char* expectedDebugStart;  // the reply's report, or the time-out's error text
};

class SetCommandBoundTest : public ModemFixture, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(SetCommandBoundTest, ThirtySecondsToTheMillisecond) {
  const BoundCase& c = GetParam();
  sim::ModemSetup setup;
  setup.commandMs = c.answerMs;
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), c.expectedStatus);
  EXPECT_EQ(scheduler_->NowMs(), c.answerMs);
  const auto debug = os_.Debug();
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0].rfind(c.expectedDebugStart, 0), 0u) << debug[0];
}

INSTANTIATE_TEST_SUITE_P(Answers, SetCommandBoundTest,
                         ::testing::Values(BoundCase{29999, 0, "\nSAR Mode: 1\n"},
                                           BoundCase{30000, 1,
                                                     " 0x800705b4 - The SAR configuration command did not complete "
                                                     "within 30000 ms."}),
                         [](const auto& info) { return "At" + std::to_string(info.param.answerMs) + "ms"; });

TEST_F(InitSarTest, AnAnswerAfterTheTimeOutTouchesNothingThatIsGone) {
  sim::ModemSetup setup;
  setup.commandMs = 40000;  // 10 s of platform time after the 30 s time-out
  Start(setup);
  EXPECT_EQ(cellular::InitSAR(*process_), 1u);
  scheduler_->ParkFor(20000);  // the answer comes while this thread is parked
  EXPECT_EQ(scheduler_->NowMs(), 50000);
  EXPECT_EQ(os_.Console(), "");
}

TEST_F(ModemFixture, MonitoringStarts) {
  Start();
  const os::EventHandle event = os_.CreateAutoResetEvent();
  OnFreshThread([&] {
    EXPECT_EQ(cellular::TxStatusMonitor(*process_, event), 0);
    EXPECT_EQ(sim::Apartments::Current(), sim::Apartment::kMultithreaded);
  });
  EXPECT_TRUE(cellular::TxStatusMonitoringStarted(*process_));
  EXPECT_EQ(os_.Console(), "\n [Korvi] sarManager.StartTransmissionStateMonitoring().");
  EXPECT_EQ(process_->handlerShared->isTransmitting.load(), 0) << "no state is read at start";
  EXPECT_NE(process_->sarManager, nullptr);
  EXPECT_EQ(process_->handlerShared->txEventForHandler.Current(), event);
}

TEST_F(ModemFixture, NoSarManager) {
  sim::ModemSetup setup;
  setup.sarManager = false;
  Start(setup);
  const os::EventHandle event = os_.CreateAutoResetEvent();
  OnFreshThread([&] { EXPECT_EQ(cellular::TxStatusMonitor(*process_, event), cellular::kEPointer); });
  EXPECT_FALSE(cellular::TxStatusMonitoringStarted(*process_));
  EXPECT_EQ(os_.Console(), "\n [Korvi] - TxStatusMonitor() Couldn't get valid SarManager.");
  EXPECT_EQ(process_->sarManager, nullptr);
  EXPECT_EQ(process_->handlerShared->txEventForHandler.Current(), event);
  EXPECT_EQ(faults_->Calls("TransmissionStateChanged"), 0);
}

struct MonitorFailure {
  const char* op;
  bool managerKept;
  bool handlerAdded;
};

class TxStatusMonitorFailureTest : public ModemFixture, public ::testing::WithParamInterface<MonitorFailure> {};

TEST_P(TxStatusMonitorFailureTest, CaughtSilentlyAndNotMonitoring) {
  const MonitorFailure& c = GetParam();
  Start({}, {{c.op, kAccessDenied, {}}});
  const os::EventHandle event = os_.CreateAutoResetEvent();
  OnFreshThread([&] { EXPECT_EQ(cellular::TxStatusMonitor(*process_, event), 0); });
  EXPECT_FALSE(cellular::TxStatusMonitoringStarted(*process_));
  EXPECT_EQ(os_.Console(), "");
  EXPECT_EQ(process_->sarManager != nullptr, c.managerKept);
  EXPECT_EQ(process_->handlerShared->txEventForHandler.Current() != nullptr, c.managerKept);
  const bool handlerCalled = faults_->Calls("TransmissionStateChanged") > 0;
  EXPECT_EQ(handlerCalled && std::string(c.op) != "TransmissionStateChanged", c.handlerAdded);
  ASSERT_EQ(os_.Debug().size(), 1u) << "the caught error's text goes to the debug channel";
  EXPECT_EQ(os_.Debug()[0], "0x80070005 - Access is denied.\n");
}

INSTANTIATE_TEST_SUITE_P(Steps, TxStatusMonitorFailureTest,
                         ::testing::Values(MonitorFailure{"GetCurrentConfigurationAsync", false, false},
                                           MonitorFailure{"GetResults", false, false},
                                           MonitorFailure{"SarManager", false, false},
                                           MonitorFailure{"SetTransmissionStateChangedHysteresisAsync", true, false},
                                           MonitorFailure{"TransmissionStateChanged", true, false},
                                           MonitorFailure{"StartTransmissionStateMonitoring", true, true}),
                         [](const auto& info) { return std::string(info.param.op); });

// The modem's answers to the two requests of TxStatusMonitor, in simulated ms. (Requests that
// are never answered run end to end, in scenarios: here an unbounded wait would hang the test
// instead of failing it.)
struct SlowRequests {
  const char* name;
  std::optional<std::int64_t> configurationMs;
  std::optional<std::int64_t> hysteresisMs;
  bool started;
  bool managerKept;
  std::int64_t endsAtMs;
  const char* timedOut;  // the request the debug channel names, when one timed out
  friend void PrintTo(const SlowRequests& c, std::ostream* out) { *out << c.name; }
};

class TxStatusMonitorBoundTest : public ModemFixture, public ::testing::WithParamInterface<SlowRequests> {};

// A request answered after the bound ends its wait at the bound, as a platform error; one
// answered just inside the bound is taken.
TEST_P(TxStatusMonitorBoundTest, EveryRequestIsAwaitedUpToTheBoundAndNoLonger) {
  const SlowRequests& c = GetParam();
  sim::ModemSetup setup;
  setup.configurationMs = c.configurationMs;
  setup.hysteresisMs = c.hysteresisMs;
  Start(setup);
  const os::EventHandle event = os_.CreateAutoResetEvent();
  OnFreshThread([&] { EXPECT_EQ(cellular::TxStatusMonitor(*process_, event), 0); });

  EXPECT_EQ(cellular::TxStatusMonitoringStarted(*process_), c.started);
  EXPECT_EQ(process_->sarManager != nullptr, c.managerKept);
  EXPECT_EQ(scheduler_->NowMs(), c.endsAtMs);
  if (c.started) {
    EXPECT_TRUE(os_.Debug().empty());
  } else {
    EXPECT_EQ(os_.Debug(), std::vector<std::string>{"0x800705b4 - The " + std::string(c.timedOut) +
                                                    " request did not complete within 30000 ms.\n"});
    EXPECT_EQ(faults_->Calls("TransmissionStateChanged"), 0) << "no handler after a time-out";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TxStatusMonitorBoundTest,
    ::testing::Values(SlowRequests{"ConfigurationAfterTheBound", 30001, 0, false, false, 30000, "configuration"},
                      SlowRequests{"HysteresisAfterTheBound", 0, 30001, false, true, 30000, "hysteresis"},
                      SlowRequests{"BothJustInside", 29999, 29999, true, true, 59998, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemFixture, ApartmentJoinFailureIsThrownToTheCaller) {
  Start({}, {{"RoInitialize", static_cast<std::int32_t>(0x80010106), {}}});
  OnFreshThread([&] { EXPECT_THROW(static_cast<void>(cellular::TxStatusMonitor(*process_, nullptr)), cellular::PlatformError); });
  EXPECT_FALSE(cellular::TxStatusMonitoringStarted(*process_));
}

// Stand-ins for the arguments a notification carries.
class Args final : public cellular::TransmissionStateChangedEventArgs {
 public:
  explicit Args(bool transmitting, bool fails = false) : transmitting_(transmitting), fails_(fails) {}
  bool IsTransmitting() override {
    if (fails_) throw cellular::PlatformError(kAccessDenied, L"Access is denied.");
    return transmitting_;
  }

 private:
  bool transmitting_;
  bool fails_;
};

TEST(TransmissionStateHandlerTest, StoresThenSignalsThenWrites) {
  testing::RecordingOs os;
  const auto shared = std::make_shared<cellular::HandlerShared>();
  const os::EventHandle event = os.CreateAutoResetEvent();
  shared->txEventForHandler.Attach(event);
  cellular::OnTransmissionStateChanged handler(shared);

  EXPECT_EQ(handler.Invoke(nullptr, std::make_shared<Args>(true)), 0);
  EXPECT_EQ(shared->isTransmitting.load(), 1);
  EXPECT_TRUE(os.IsSignalled(event));
  EXPECT_EQ(handler.Invoke(nullptr, std::make_shared<Args>(true)), 0) << "the same state is not deduplicated";
  EXPECT_EQ(os.Console(),
            "\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).");
  EXPECT_TRUE(os.Debug().empty());
}

// Notes at each console write whether the watched event was already signalled.
class ConsoleWatchingOs final : public testing::RecordingOs {
 public:
  void WriteConsole(std::string_view text) noexcept override {
    signalledAtEachWrite.push_back(IsSignalled(watched));
    RecordingOs::WriteConsole(text);
  }
  os::EventHandle watched = nullptr;
  std::vector<bool> signalledAtEachWrite;
};

// The console may be slow (a terminal, a full pipe); the loop must not wait for it to learn
// of a change.
TEST(TransmissionStateHandlerTest, SignalsBeforeItWritesItsConsoleLine) {
  ConsoleWatchingOs os;
  os.watched = os.CreateAutoResetEvent();
  const auto shared = std::make_shared<cellular::HandlerShared>();
  shared->txEventForHandler.Attach(os.watched);
  cellular::OnTransmissionStateChanged handler(shared);

  EXPECT_EQ(handler.Invoke(nullptr, std::make_shared<Args>(true)), 0);
  EXPECT_EQ(os.signalledAtEachWrite, std::vector<bool>{true});
}

TEST(TransmissionStateHandlerTest, TheStateIsStoredBeforeTheEventIsSignalled) {
  testing::RecordingOs os;
  const auto shared = std::make_shared<cellular::HandlerShared>();
  shared->txEventForHandler.Attach(os.CreateAutoResetEvent());
  std::vector<int> storedAtSetEvent;
  os.onSetEvent = [&](os::EventHandle) { storedAtSetEvent.push_back(shared->isTransmitting.load()); };
  cellular::OnTransmissionStateChanged handler(shared);

  for (const bool transmitting : {true, false}) handler.Invoke(nullptr, std::make_shared<Args>(transmitting));
  handler.Invoke(nullptr, std::make_shared<Args>(false, /*fails=*/true));

  EXPECT_EQ(storedAtSetEvent, (std::vector<int>{1, 0, 1}))
      << "the loop, woken by the signal, must read the state of the delivery that woke it";
}

struct UnreadableState {
  const char* name;
  std::shared_ptr<cellular::TransmissionStateChangedEventArgs> args;
  const char* expectedDebug;
};

class UnreadableStateTest : public ::testing::TestWithParam<UnreadableState> {};

// Nobody knows then whether the modem transmits: the loop is woken to ask for reduced power.
TEST_P(UnreadableStateTest, CountsAsTransmittingAndIsSaidOnTheDebugChannel) {
  const UnreadableState& c = GetParam();
  testing::RecordingOs os;
  const auto shared = std::make_shared<cellular::HandlerShared>();
  const os::EventHandle event = os.CreateAutoResetEvent();
  shared->txEventForHandler.Attach(event);
  cellular::OnTransmissionStateChanged handler(shared);

  EXPECT_EQ(handler.Invoke(nullptr, c.args), 0)
      << "a handled delivery answers success: an event source drops a handler that answers some failures";
  EXPECT_EQ(shared->isTransmitting.load(), 1);
  EXPECT_TRUE(os.IsSignalled(event));
  EXPECT_EQ(os.Debug(), std::vector<std::string>{c.expectedDebug});
  EXPECT_EQ(os.Console(), "\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).");
}

// Arguments whose read fails with something other than a platform error.
class ExhaustedArgs final : public cellular::TransmissionStateChangedEventArgs {
 public:
  bool IsTransmitting() override { throw std::bad_alloc(); }
};

// Arguments read through a proxy whose server has gone: the codes for which event sources
// drop a delegate that answers them.
class DeadProxyArgs final : public cellular::TransmissionStateChangedEventArgs {
 public:
  explicit DeadProxyArgs(std::uint32_t code) : code_(static_cast<std::int32_t>(code)) {}
  bool IsTransmitting() override { throw cellular::PlatformError(code_, L"The object invoked has disconnected."); }

 private:
  std::int32_t code_;
};

INSTANTIATE_TEST_SUITE_P(
    Failures, UnreadableStateTest,
    ::testing::Values(
        UnreadableState{"ReadFails", std::make_shared<Args>(false, true),
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x80070005): "
                        "taking the modem as transmitting"},
        UnreadableState{"NoArguments", nullptr,
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x80004003): "
                        "taking the modem as transmitting"},
        UnreadableState{"OutOfMemory", std::make_shared<ExhaustedArgs>(),
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x8007000e): "
                        "taking the modem as transmitting"},
        UnreadableState{"Disconnected", std::make_shared<DeadProxyArgs>(0x80010108),
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x80010108): "
                        "taking the modem as transmitting"},
        UnreadableState{"ServerUnavailable", std::make_shared<DeadProxyArgs>(0x800706BA),
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x800706ba): "
                        "taking the modem as transmitting"},
        UnreadableState{"CannotExecute", std::make_shared<DeadProxyArgs>(0x89020001),
                        "[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x89020001): "
                        "taking the modem as transmitting"}),
    [](const auto& info) { return std::string(info.param.name); });

// A delivery held inside SetEvent while the main thread goes to close the event: the close
// waits it out, and a delivery after the close never reaches the closed handle (whose value
// the platform may already have given to another object).
TEST(TransmissionStateHandlerTest, NoDeliverySignalsTheEventOnceItIsClosed) {
  testing::RecordingOs os;
  const auto shared = std::make_shared<cellular::HandlerShared>();
  os::UniqueEvent event(os.CreateAutoResetEvent());
  shared->txEventForHandler.Attach(event.get());
  cellular::OnTransmissionStateChanged handler(shared);

  std::latch entered(1);
  std::latch release(1);
  std::atomic<bool> released{false};
  const auto releaseOnce = [&] {
    if (!released.exchange(true)) release.count_down();
  };
  std::atomic<int> setEvents{0};
  std::atomic<bool> insideSetEvent{false};
  os.onSetEvent = [&](os::EventHandle) {
    if (setEvents.fetch_add(1) != 0) return;  // only the first delivery is held
    insideSetEvent.store(true);
    entered.count_down();
    release.wait();
    insideSetEvent.store(false);
  };
  // The closer sleeps only while it waits a delivery out; that is when the test lets it go.
  os.onSleep = [&](std::uint32_t) { releaseOnce(); };
  std::optional<bool> insideAtClose;
  os.onCloseEvent = [&](os::EventHandle) {
    insideAtClose = insideSetEvent.load();
    releaseOnce();  // a close that did not wait must not leave the delivery held for ever
  };

  std::thread delivery([&] { EXPECT_EQ(handler.Invoke(nullptr, std::make_shared<Args>(true)), 0); });
  entered.wait();
  shared->txEventForHandler.Detach();
  event.Reset();
  delivery.join();

  ASSERT_TRUE(insideAtClose.has_value());
  EXPECT_FALSE(*insideAtClose) << "the event was closed while a delivery was inside SetEvent";
  EXPECT_EQ(handler.Invoke(nullptr, std::make_shared<Args>(false)), 0);
  EXPECT_EQ(setEvents.load(), 1) << "a delivery after the close signalled the closed handle";
  EXPECT_EQ(shared->isTransmitting.load(), 0) << "the state is still stored";
}

// Stand-ins for a modem whose answers a test chooses, where the simulated modem would not
// show them: no device information (success with nothing in it), or the exact hysteresis
// asked for (the simulated modem keeps it in whole milliseconds). Every operation completes
// at once.
class DoneAction final : public cellular::AsyncAction {
 public:
  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override { handler->OnCompleted(); }
  void Cancel() override {}
  void GetResults() override {}
};

template <class Result>
class DoneOperation final : public cellular::AsyncOperation<Result> {
 public:
  explicit DoneOperation(Result result) : result_(std::move(result)) {}
  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override { handler->OnCompleted(); }
  void Cancel() override {}
  Result GetResults() override { return result_; }

 private:
  Result result_;
};

// The modem's answer to the state request: a value, a failure, or none at all.
class StateOperation final : public cellular::AsyncOperation<bool> {
 public:
  StateOperation(std::optional<bool> value, std::int32_t failure, int& cancels)
      : value_(value), failure_(failure), cancels_(cancels) {}
  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    if (value_ || failure_ < 0) handler->OnCompleted();
  }
  void Cancel() override { ++cancels_; }
  bool GetResults() override {
    if (failure_ < 0) throw cellular::PlatformError(failure_, L"failed");
    return *value_;
  }

 private:
  std::optional<bool> value_;
  std::int32_t failure_;
  int& cancels_;
};

class RecordingSarManager final : public cellular::SarManager {
 public:
  std::shared_ptr<cellular::AsyncAction> SetTransmissionStateChangedHysteresisAsync(std::int64_t ticks) override {
    hysteresisTicks.push_back(ticks);
    return std::make_shared<DoneAction>();
  }
  std::shared_ptr<cellular::AsyncOperation<bool>> GetIsTransmittingAsync() override {
    if (onStateRequest) onStateRequest();
    return std::make_shared<StateOperation>(transmitting, stateFailure, stateCancels);
  }
  std::int64_t AddTransmissionStateChanged(std::shared_ptr<cellular::TransmissionStateChangedHandler>) override {
    return kToken;
  }
  void RemoveTransmissionStateChanged(std::int64_t token) override { removedTokens.push_back(token); }
  void StartTransmissionStateMonitoring() override {}
  void StopTransmissionStateMonitoring() override {}

  static constexpr std::int64_t kToken = 0x5EED;
  std::optional<bool> transmitting = false;  // none: the request is never answered
  std::int32_t stateFailure = 0;
  int stateCancels = 0;
  std::function<void()> onStateRequest;
  std::vector<std::int64_t> hysteresisTicks;
  std::vector<std::int64_t> removedTokens;
};

class ConfigurationWith final : public cellular::ModemConfiguration {
 public:
  explicit ConfigurationWith(std::shared_ptr<cellular::SarManager> manager) : manager_(std::move(manager)) {}
  std::shared_ptr<cellular::SarManager> SarManager() override { return manager_; }

 private:
  std::shared_ptr<cellular::SarManager> manager_;
};

// A device that is ready and holds a SIM.
class ReadyDevice final : public cellular::DeviceInformation {
 public:
  std::int32_t NetworkDeviceStatus() override { return cellular::kDeviceReady; }
  std::u16string SimIccId() override { return u"8949"; }
};

class StandInModem final : public cellular::Modem {
 public:
  std::shared_ptr<cellular::DeviceInformation> DeviceInformation() override { return information; }
  std::shared_ptr<cellular::DeviceService> GetDeviceService(const cellular::Guid&) override { return nullptr; }
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>>
  GetCurrentConfigurationAsync() override {
    return std::make_shared<DoneOperation<std::shared_ptr<cellular::ModemConfiguration>>>(
        std::make_shared<ConfigurationWith>(manager));
  }

  std::shared_ptr<RecordingSarManager> manager = std::make_shared<RecordingSarManager>();
  std::shared_ptr<cellular::DeviceInformation> information;  // none unless a test gives one
};

class PlatformOfOneModem final : public cellular::ModemPlatform {
 public:
  std::shared_ptr<cellular::Modem> GetDefault() override { return modem; }
  std::int32_t RoInitialize() noexcept override { return 0; }
  void RoUninitialize() noexcept override {}
  std::shared_ptr<cellular::Buffer> CreateFromByteArray(std::span<const std::uint8_t>) override { return nullptr; }
  std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<cellular::Buffer>&) override { return {}; }

  std::shared_ptr<StandInModem> modem = std::make_shared<StandInModem>();
};

// The stand-in modem, found by start-up, with the loop's event to hand to TxStatusMonitor.
struct MonitoringStandIn {
  testing::RecordingOs recording;
  PlatformOfOneModem platform;
  std::unique_ptr<cellular::ModemObjects> process;
  os::EventHandle event = nullptr;
  MonitoringStandIn() {
    recording.speed = 1e6;  // the 30 s bound passes in 30 us of the test's time
    cellular::UsePlatform(platform);
    platform.modem->information = std::make_shared<ReadyDevice>();
    process = cellular::ObtainDefaultModem().objects;
    event = recording.CreateAutoResetEvent();
  }
  ~MonitoringStandIn() {
    if (process) process->handlerShared->txEventForHandler.Detach();
  }
  RecordingSarManager& manager() { return *platform.modem->manager; }
};

TEST(TxStatusMonitorHysteresisTest, AsksForFiveSecondsInTicksOf100Ns) {
  MonitoringStandIn standIn;
  ASSERT_NE(standIn.process, nullptr);
  EXPECT_EQ(cellular::TxStatusMonitor(*standIn.process, standIn.event), 0);
  EXPECT_TRUE(cellular::TxStatusMonitoringStarted(*standIn.process));
  EXPECT_EQ(standIn.manager().hysteresisTicks, std::vector<std::int64_t>{50'000'000});
}

struct StateAtStartCase {
  const char* name;
  std::optional<bool> answer;
  std::int32_t failure;
  bool deliveryWhileAsking;
  int expectedStored;
  bool expectedSignal;
  int expectedCancels;
  const char* expectedDebug;
};

// Transmitting, or not known (a failure, no answer within the bound): stored as transmitting
// and the loop woken. Not transmitting, or a delivery already came: left as it is.
TEST(StateAtStartTest, TransmittingOrUnknownWakesTheLoop) {
  const std::vector<StateAtStartCase> cases = {
      {"transmits", true, 0, false, 1, true, 0, "[MS_SAR] Korvi::TxStatusMonitor the modem transmits at start"},
      {"does not transmit", false, 0, false, 0, false, 0,
       "[MS_SAR] Korvi::TxStatusMonitor the modem does not transmit at start"},
      {"read fails", std::nullopt, static_cast<std::int32_t>(0x80010108), false, 1, true, 0,
       "[MS_SAR] Korvi::TxStatusMonitor could not read the state at start (0x80010108): taking the modem as "
       "transmitting"},
      {"never answers", std::nullopt, 0, false, 1, true, 1,
       "[MS_SAR] Korvi::TxStatusMonitor could not read the state at start (0x800705b4): taking the modem as "
       "transmitting"},
      {"a delivery came meanwhile", true, 0, true, 0, true, 0,
       "[MS_SAR] Korvi::TxStatusMonitor the modem transmits at start"},
  };
  for (const StateAtStartCase& c : cases) {
    SCOPED_TRACE(c.name);
    MonitoringStandIn standIn;
    ASSERT_NE(standIn.process, nullptr);
    ASSERT_EQ(cellular::TxStatusMonitor(*standIn.process, standIn.event), 0);
    standIn.manager().transmitting = c.answer;
    standIn.manager().stateFailure = c.failure;
    cellular::OnTransmissionStateChanged handler(standIn.process->handlerShared);
    if (c.deliveryWhileAsking) {
      standIn.manager().onStateRequest = [&] { handler.Invoke(nullptr, std::make_shared<Args>(false)); };
    }
    cellular::ReadTransmissionStateAtStart(*standIn.process);
    EXPECT_EQ(standIn.process->handlerShared->isTransmitting.load(), c.expectedStored);
    EXPECT_EQ(standIn.recording.IsSignalled(standIn.event), c.expectedSignal);
    EXPECT_EQ(standIn.manager().stateCancels, c.expectedCancels) << "a request given up is cancelled";
    const auto debug = standIn.recording.Debug();
    EXPECT_EQ(std::count(debug.begin(), debug.end(), std::string(c.expectedDebug)), 1);
    EXPECT_EQ(debug.size(), 1u) << "one debug message says what was read";
  }
}

// The handler is removed with its own token when monitoring stops, once; without a stop (the
// radio-off exit), when the process objects are released.
TEST(TransmissionSubscriptionTest, StoppingMonitoringRemovesTheHandlerOnce) {
  {
    MonitoringStandIn standIn;
    ASSERT_NE(standIn.process, nullptr);
    ASSERT_EQ(cellular::TxStatusMonitor(*standIn.process, standIn.event), 0);
    EXPECT_TRUE(standIn.manager().removedTokens.empty());
    cellular::StopTxStatusMonitor(*standIn.process);
    EXPECT_EQ(standIn.manager().removedTokens, std::vector<std::int64_t>{RecordingSarManager::kToken});
    cellular::StopTxStatusMonitor(*standIn.process);
    standIn.process.reset();
    EXPECT_EQ(standIn.manager().removedTokens.size(), 1u) << "a revoked subscription is not removed again";
  }
  MonitoringStandIn radioOff;
  ASSERT_NE(radioOff.process, nullptr);
  ASSERT_EQ(cellular::TxStatusMonitor(*radioOff.process, radioOff.event), 0);
  radioOff.process->handlerShared->txEventForHandler.Detach();
  radioOff.process.reset();
  EXPECT_EQ(radioOff.manager().removedTokens, std::vector<std::int64_t>{RecordingSarManager::kToken});
}

// Start-up holds the modem and its device information only when it has both; the process
// objects it then makes hold the very objects the platform gave.
TEST(ObtainDefaultModemTest, AModemWithoutDeviceInformationCountsAsNoModemAndIsNotHeld) {
  PlatformOfOneModem platform;
  cellular::UsePlatform(platform);
  const cellular::ModemLookup lookup = cellular::ObtainDefaultModem();
  EXPECT_EQ(lookup.objects, nullptr);
  EXPECT_FALSE(lookup.error.has_value());
  EXPECT_EQ(platform.modem.use_count(), 1) << "the modem is still held";

  platform.modem->information = std::make_shared<ReadyDevice>();
  const cellular::ModemLookup found = cellular::ObtainDefaultModem();
  ASSERT_NE(found.objects, nullptr);
  EXPECT_EQ(found.objects->modem, platform.modem);
  EXPECT_EQ(found.objects->deviceInformation, platform.modem->information);
  EXPECT_EQ(found.objects->sarManager, nullptr) << "no SAR manager before TxStatusMonitor";
}

struct RadioCase {
  const char* name;
  std::int32_t status;
  const char16_t* simIccId;
  std::uint32_t expected;
};

class RadioStateTest : public ModemFixture, public ::testing::WithParamInterface<RadioCase> {};

TEST_P(RadioStateTest, OnWhileASimIsPresentOrTheDeviceIsReady) {
  sim::ModemSetup setup;
  setup.deviceStatus = GetParam().status;
  setup.simIccId = GetParam().simIccId;
  Start(setup);
  EXPECT_EQ(cellular::GetRadioState(*process_), GetParam().expected);
  EXPECT_EQ(faults_->Calls("SimIccId"), 1) << "both properties are read at every call";
}

INSTANTIATE_TEST_SUITE_P(States, RadioStateTest,
                         ::testing::Values(RadioCase{"ReadyWithoutSim", 1, u"", 1},
                                           RadioCase{"NotReadyWithSim", 0, u"8949", 1},
                                           RadioCase{"Status2WithSim", 2, u"8949", 1},
                                           RadioCase{"NotReadyWithoutSim", 0, u"", 0},
                                           RadioCase{"Status3WithoutSim", 3, u"", 0},
                                           RadioCase{"NegativeStatusWithoutSim", -1, u"", 0},
                                           RadioCase{"NotReadyWithLoneSurrogateSim", 0, u"\xD800", 1}),
                         [](const ::testing::TestParamInfo<RadioCase>& info) { return std::string(info.param.name); });

TEST_F(RadioStateTest, StatusReadFailureAnswersOffWithoutReadingTheIdentifier) {
  Start({}, {{"NetworkDeviceStatus", kAccessDenied, {}}});
  EXPECT_EQ(cellular::GetRadioState(*process_), 0u);
  EXPECT_EQ(faults_->Calls("SimIccId"), 0);
}

TEST_F(RadioStateTest, IdentifierReadFailureAnswersOffWhateverTheStatus) {
  Start({}, {{"SimIccId", kAccessDenied, {}}});
  EXPECT_EQ(cellular::GetRadioState(*process_), 0u);
}

TEST_F(ModemFixture, StopWithoutManagerCallsNothing) {
  Start();
  cellular::StopTxStatusMonitor(*process_);
  EXPECT_EQ(faults_->Calls("StopTransmissionStateMonitoring"), 0);
}

TEST_F(ModemFixture, StopTwiceAsksTwiceAndSwallowsFailures) {
  Start({}, {{"StopTransmissionStateMonitoring", kAccessDenied, {1}}});
  OnFreshThread([&] { EXPECT_EQ(cellular::TxStatusMonitor(*process_, os_.CreateAutoResetEvent()), 0); });
  cellular::StopTxStatusMonitor(*process_);
  cellular::StopTxStatusMonitor(*process_);
  EXPECT_EQ(faults_->Calls("StopTransmissionStateMonitoring"), 2);
  EXPECT_NE(process_->sarManager, nullptr) << "stopping does not release the manager";
}

// A host that raises changes itself (the benchmarks) hands the simulated modem one at the
// moment it chooses: it reaches the handler before the call returns, on the caller's own
// thread, and only while monitoring runs.
TEST_F(ModemFixture, DeliverNowReachesTheHandlerOnTheCallersThreadOnlyWhileMonitoring) {
  Start();
  const os::EventHandle event = os_.CreateAutoResetEvent();
  std::vector<std::thread::id> signalledFrom;
  os_.onSetEvent = [&](os::EventHandle) { signalledFrom.push_back(std::this_thread::get_id()); };
  EXPECT_FALSE(modem_->DeliverNow(true)) << "delivered before monitoring started";
  EXPECT_FALSE(modem_->Monitoring());

  OnFreshThread([&] { EXPECT_EQ(cellular::TxStatusMonitor(*process_, event), 0); });
  ASSERT_TRUE(modem_->Monitoring());
  EXPECT_TRUE(modem_->DeliverNow(true));
  EXPECT_EQ(process_->handlerShared->isTransmitting.load(), 1);
  EXPECT_TRUE(os_.IsSignalled(event));
  EXPECT_EQ(signalledFrom, std::vector<std::thread::id>{std::this_thread::get_id()});

  cellular::StopTxStatusMonitor(*process_);
  EXPECT_FALSE(modem_->Monitoring());
  EXPECT_FALSE(modem_->DeliverNow(false)) << "delivered after monitoring stopped";
  EXPECT_EQ(process_->handlerShared->isTransmitting.load(), 1) << "a change after the stop reached the handler";
  EXPECT_EQ(modem_->counts().notifications, 1);
}

}  // namespace
}  // namespace korvi
