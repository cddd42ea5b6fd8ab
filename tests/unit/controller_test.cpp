// The entry function and its loop against stand-in operations: the order of start-up, the
// two exits, collapsed wake-ups, and the endings that would otherwise wait for ever.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cellular/cellular_state.h"
#include "controller/service.h"
#include "os/messages.h"
#include "os/platform_error.h"
#include "support/recording_os.h"

namespace korvi::controller {
namespace {

// Stand-in operations that log each call; the radio stays on for `radioOnChecks` checks and
// each wake-up can deliver a scripted set of notifications beforehand.
struct Script {
  testing::RecordingOs os;
  std::vector<std::string> calls;
  int radioOnChecks = 0;
  bool monitoringStarts = true;
  bool transmittingAtStart = false;  // the state read at start wakes the loop as a delivery
  bool transmitting = false;
  os::EventHandle event = nullptr;
  std::vector<std::vector<bool>> deliveriesBeforeEachCheck;  // notifications per radio check
  int checks = 0;

  void Deliver(bool value) {
    transmitting = value;
    os.SetEvent(event);
  }

  ServiceOperations Operations() {
    ServiceOperations ops;
    ops.initSar = [this] { calls.push_back("InitSAR"); return 0u; };
    ops.txStatusMonitor = [this](os::EventHandle e) { event = e; calls.push_back("TxStatusMonitor"); return 0; };
    ops.txStatusMonitoringStarted = [this] { return monitoringStarts; };
    ops.readStateAtStart = [this] {
      calls.push_back("StateAtStart");
      if (transmittingAtStart) Deliver(true);
    };
    ops.getRadioState = [this] {
      if (checks < static_cast<int>(deliveriesBeforeEachCheck.size()))
        for (bool value : deliveriesBeforeEachCheck[checks]) Deliver(value);
      ++checks;
      calls.push_back("GetRadioState");
      return checks <= radioOnChecks ? 1u : 0u;
    };
    ops.isTransmitting = [this] { return transmitting; };
    ops.setWlanReduce = [this] { calls.push_back("REDUCE"); };
    ops.setWlanNormal = [this] { calls.push_back("NORMAL"); };
    ops.stopTxStatusMonitor = [this] { calls.push_back("Stop"); };
    ops.detachTxEvent = [this] { calls.push_back("Detach"); };
    return ops;
  }
};

// A modem that start-up finds, whose device information is all that is asked of it here.
class FoundModem final : public cellular::Modem {
 public:
  class Information final : public cellular::DeviceInformation {
   public:
    std::int32_t NetworkDeviceStatus() override { return cellular::kDeviceReady; }
    std::u16string SimIccId() override { return u""; }
  };
  std::shared_ptr<cellular::DeviceInformation> DeviceInformation() override { return std::make_shared<Information>(); }
  std::shared_ptr<cellular::DeviceService> GetDeviceService(const cellular::Guid&) override { return nullptr; }
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>>
  GetCurrentConfigurationAsync() override {
    return nullptr;
  }
};

// A platform with no mobile-broadband modem (or the one it is given), counting its lookups.
class NoModemPlatform final : public cellular::ModemPlatform {
 public:
  std::shared_ptr<cellular::Modem> GetDefault() override {
    ++lookups;
    return modem;
  }
  std::int32_t RoInitialize() noexcept override { return 0; }
  void RoUninitialize() noexcept override {}
  std::shared_ptr<cellular::Buffer> CreateFromByteArray(std::span<const std::uint8_t>) override { return nullptr; }
  std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<cellular::Buffer>&) override { return {}; }
  int lookups = 0;
  std::shared_ptr<cellular::Modem> modem;
};

const std::vector<std::string> kStartDebug = {"[MS_SAR] Korvi::InitSAR()", "[MS_SAR] Korvi::TxStatusMonitor"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ControllerTest, RadioOffAtTheFirstCheck) {
  Script script;
  EXPECT_EQ(RunEntry(script.Operations()), kExitNormal);
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState", "NORMAL"}));
  EXPECT_EQ(script.os.Console(),
            "\nKorvi::InitSAR()\nKorvi::TxStatusMonitor\nKorvi::GetRadioState()  Off\nSetWLANTxState_WLANNORMAL()"
            "\nExit while loop");
  EXPECT_EQ(script.os.Debug(), Concat(kStartDebug, {"[MS_SAR]  Korvi::GetRadioState()  Off",
                                                     "[MS_SAR] SetWLANTxState_WLANNORMAL()", "[MS_SAR] Exit while loop"}));
  EXPECT_EQ(script.os.Sleeps(), std::vector<std::uint32_t>{1000});
  EXPECT_EQ(script.os.Closed(), 0) << "the handler may still signal the event on this path";
  ReleaseProcessObjects();
  EXPECT_EQ(script.os.Closed(), 1);
}

TEST(ControllerTest, EachReportWritesDebugFirst) {
  Script script;
  RunEntry(script.Operations());
  const auto writes = script.os.Writes();
  ASSERT_EQ(writes.size() % 2, 0u);
  for (std::size_t i = 0; i < writes.size(); i += 2) {
    EXPECT_TRUE(writes[i].debug) << i;
    EXPECT_FALSE(writes[i + 1].debug) << i;
  }
  ReleaseProcessObjects();
}

TEST(ControllerTest, TwoChangesBeforeTheWaitMakeOneRequestForTheLatest) {
  Script script;
  script.radioOnChecks = 1;
  script.deliveriesBeforeEachCheck = {{true, false}};
  RunEntry(script.Operations());
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState", "NORMAL",
                                                    "GetRadioState", "NORMAL"}));
  ReleaseProcessObjects();
}

TEST(ControllerTest, TheSameStateTwiceIsRequestedTwice) {
  Script script;
  script.radioOnChecks = 2;
  script.deliveriesBeforeEachCheck = {{true}, {true}};
  RunEntry(script.Operations());
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState", "REDUCE",
                                                    "GetRadioState", "REDUCE", "GetRadioState", "NORMAL"}));
  EXPECT_NE(script.os.Console().find("\nSetWLANTxState_WLANREDUCE()\nSetWLANTxState_WLANREDUCE()"), std::string::npos);
  ReleaseProcessObjects();
}

// What had happened when the event was closed.
struct AtClose {
  std::vector<std::string> calls;
  std::vector<std::string> debug;
  std::string console;
};

void RecordAtClose(Script& script, std::optional<AtClose>& atClose) {
  script.os.onCloseEvent = [&script, &atClose](os::EventHandle) {
    atClose = AtClose{script.calls, script.os.Debug(), script.os.Console()};
  };
}

TEST(ControllerTest, WaitFailureReportsCaseWiatObjBreakBeforeTheStopAndExitWhileLoopAfterTheClose) {
  for (const std::uint32_t failure : {os::kWaitAbandoned, os::kWaitFailed}) {
    Script script;
    script.radioOnChecks = 1;
    script.os.failWaitsWith = failure;
    ServiceOperations ops = script.Operations();
    std::optional<std::string> lastDebugAtStop;
    std::optional<int> closedAtStop;
    ops.stopTxStatusMonitor = [&] {
      script.calls.push_back("Stop");
      lastDebugAtStop = script.os.Debug().back();
      closedAtStop = script.os.Closed();
    };
    std::optional<AtClose> atClose;
    RecordAtClose(script, atClose);

    EXPECT_EQ(RunEntry(ops), kExitNotProtecting) << "nothing watches the notebook after a wait failure";

    EXPECT_EQ(lastDebugAtStop, std::optional<std::string>("[MS_SAR] Case WIAT_OBJ Break")) << "\"Case WIAT_OBJ Break\" comes before the stop";
    EXPECT_EQ(closedAtStop, 0) << "monitoring is stopped before the event is closed";
    ASSERT_TRUE(atClose.has_value());
    EXPECT_EQ(atClose->calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState", "Stop", "Detach"}))
        << "the event is closed after the stop, once the handler has let go of it";
    EXPECT_EQ(atClose->debug, Concat(kStartDebug, {"[MS_SAR] Case WIAT_OBJ Break"}))
        << "\"Exit while loop\" comes after the close";
    EXPECT_EQ(atClose->console, "\nKorvi::InitSAR()\nKorvi::TxStatusMonitor\nCase WIAT_OBJ Break");
    EXPECT_EQ(script.os.Closed(), 1);
    EXPECT_EQ(script.os.Debug(), Concat(kStartDebug, {"[MS_SAR] Case WIAT_OBJ Break", "[MS_SAR] Exit while loop",
                                                       "[MS_SAR] Korvi: waiting for transmission-state changes failed: exiting"}));
    EXPECT_EQ(script.os.Console(), "\nKorvi::InitSAR()\nKorvi::TxStatusMonitor\nCase WIAT_OBJ Break\nExit while loop"
                                   "\nKorvi: waiting for transmission-state changes failed: exiting");
  }
}

// Every way out of the entry function that closes the event lets the handler go of it first;
// the radio-off way keeps it open for the handler until the process ends.
TEST(ControllerTest, TheEventIsClosedOnlyAfterTheHandlerLetGoOfIt) {
  struct Ending {
    const char* name;
    std::function<void(Script&, ServiceOperations&)> arrange;
  };
  const std::vector<Ending> endings = {
      {"wait failure", [](Script& s, ServiceOperations&) { s.radioOnChecks = 1, s.os.failWaitsWith = os::kWaitFailed; }},
      {"monitoring never started", [](Script& s, ServiceOperations&) { s.monitoringStarts = false; }},
      {"out of memory in a request",
       [](Script& s, ServiceOperations& ops) {
         s.radioOnChecks = 1;
         s.deliveriesBeforeEachCheck = {{true}};
         ops.setWlanReduce = [] { throw std::bad_alloc(); };
       }},
      {"out of memory reading the state at start",
       [](Script&, ServiceOperations& ops) { ops.readStateAtStart = [] { throw std::bad_alloc(); }; }},
      {"apartment not joined",
       [](Script&, ServiceOperations& ops) {
         ops.txStatusMonitor = [](os::EventHandle) -> std::int32_t {
           throw cellular::PlatformError(static_cast<std::int32_t>(0x80010106), L"changed mode");
         };
       }},
  };
  for (const Ending& ending : endings) {
    Script script;
    ServiceOperations ops = script.Operations();
    ending.arrange(script, ops);
    std::optional<AtClose> atClose;
    RecordAtClose(script, atClose);
    try {
      RunEntry(ops);
    } catch (const std::bad_alloc&) {
    }
    ASSERT_TRUE(atClose.has_value()) << ending.name;
    ASSERT_FALSE(atClose->calls.empty()) << ending.name;
    EXPECT_EQ(atClose->calls.back(), "Detach") << ending.name;
    if (std::string(ending.name).rfind("out of memory", 0) == 0) {
      EXPECT_EQ(std::count(atClose->calls.begin(), atClose->calls.end(), "Stop"), 1)
          << ending.name << ": monitoring is stopped on the way out";
    }
    EXPECT_EQ(script.os.Closed(), 1) << ending.name;
  }

  Script radioOff;
  RunEntry(radioOff.Operations());
  EXPECT_EQ(std::count(radioOff.calls.begin(), radioOff.calls.end(), "Detach"), 0)
      << "on the radio-off way the handler keeps the event";
  EXPECT_EQ(radioOff.os.Closed(), 0);
  ReleaseProcessObjects();
}

// The real operations reach the state that the handler shares with the loop through the
// process objects they were made for.
TEST(ControllerTest, TheServicesOwnOperationsReadAndDetachTheHandlersState) {
  testing::RecordingOs os;
  NoModemPlatform platform;
  platform.modem = std::make_shared<FoundModem>();
  cellular::UsePlatform(platform);
  const std::unique_ptr<cellular::ModemObjects> process = cellular::ObtainDefaultModem().objects;
  ASSERT_NE(process, nullptr);
  const ServiceOperations ops = CellularAndWlanOperations(*process);
  cellular::HandlerShared& shared = *process->handlerShared;

  EXPECT_FALSE(ops.isTransmitting());
  shared.isTransmitting.store(1);
  EXPECT_TRUE(ops.isTransmitting());
  shared.txEventForHandler.Attach(os.CreateAutoResetEvent());
  ops.detachTxEvent();
  EXPECT_EQ(shared.txEventForHandler.Current(), nullptr);
}

TEST(ControllerTest, MonitoringThatNeverStartedEndsInsteadOfWaitingForEver) {
  Script script;
  script.monitoringStarts = false;
  script.radioOnChecks = 100;
  EXPECT_EQ(RunEntry(script.Operations()), kExitNotProtecting);
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "Detach"}));
  EXPECT_EQ(script.os.Console(), "\nKorvi::InitSAR()\nKorvi::TxStatusMonitor"
                                 "\nKorvi::TxStatusMonitor did not start monitoring: exiting");
  EXPECT_EQ(script.os.Debug().back(), "[MS_SAR] Korvi::TxStatusMonitor did not start monitoring: exiting");
}

TEST(ControllerTest, ApartmentFailureOfTheMonitorEndsWithAMessage) {
  Script script;
  ServiceOperations ops = script.Operations();
  ops.txStatusMonitor = [](os::EventHandle) -> std::int32_t {
    throw cellular::PlatformError(static_cast<std::int32_t>(0x80010106), L"changed mode");
  };
  EXPECT_EQ(RunEntry(ops), kExitNotProtecting);
  EXPECT_EQ(script.os.Console(), "\nKorvi::InitSAR()"
                                 "\nKorvi::TxStatusMonitor could not join the multithreaded apartment (0x80010106): exiting");
}

TEST(ControllerTest, OutOfMemoryInARequestStopsMonitoringAndPassesOn) {
  Script script;
  script.radioOnChecks = 5;
  script.deliveriesBeforeEachCheck = {{true}};
  ServiceOperations ops = script.Operations();
  ops.setWlanReduce = [] { throw std::bad_alloc(); };
  EXPECT_THROW(RunEntry(ops), std::bad_alloc);
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState", "Stop", "Detach"}));
  EXPECT_EQ(script.os.Closed(), 1) << "the event is closed on the way out";
}

// A modem that transmits when monitoring starts is acted on at the loop's first wake-up; one
// that does not leaves the loop waiting, as before.
TEST(ControllerTest, TheStateAtStartIsReadOnceMonitoringRunsAndWakesTheLoopWhenTransmitting) {
  for (const bool transmitting : {true, false}) {
    SCOPED_TRACE(transmitting);
    Script script;
    script.radioOnChecks = 1;
    script.transmittingAtStart = transmitting;
    script.os.timeOutWaits = transmitting ? 0 : 1;
    RunEntry(script.Operations());
    const std::vector<std::string> first = {"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState"};
    EXPECT_EQ(script.calls, Concat(first, transmitting ? std::vector<std::string>{"REDUCE", "GetRadioState", "NORMAL"}
                                                       : std::vector<std::string>{"GetRadioState", "NORMAL"}));
    ReleaseProcessObjects();
  }
  Script notStarted;
  notStarted.monitoringStarts = false;
  RunEntry(notStarted.Operations());
  EXPECT_EQ(std::count(notStarted.calls.begin(), notStarted.calls.end(), "StateAtStart"), 0)
      << "nothing is asked of a modem whose monitoring did not start";
}

// Each wait is bounded; at the bound the loop checks the radio, writes nothing and waits
// again, or takes its radio-off exit (a removed modem's failed reads count as off).
TEST(ControllerTest, AWaitThatReachesItsBoundChecksTheRadioAndNothingElse) {
  Script script;
  script.radioOnChecks = 3;
  script.os.timeOutWaits = 3;
  EXPECT_EQ(RunEntry(script.Operations()), kExitNormal);
  EXPECT_EQ(script.calls, (std::vector<std::string>{"InitSAR", "TxStatusMonitor", "StateAtStart", "GetRadioState",
                                                    "GetRadioState", "GetRadioState", "GetRadioState", "NORMAL"}));
  EXPECT_EQ(script.os.Console(), "\nKorvi::InitSAR()\nKorvi::TxStatusMonitor\nKorvi::GetRadioState()  Off"
                                 "\nSetWLANTxState_WLANNORMAL()\nExit while loop");
  const auto bounds = script.os.WaitBounds();
  ASSERT_EQ(bounds.size(), 3u);
  for (const auto& bound : bounds) EXPECT_EQ(bound, std::optional(std::chrono::milliseconds(60000)));
  ReleaseProcessObjects();
}

struct InstanceCase {
  const char* name;
  os::InstanceLock lock;
  int exitCode;
  bool modemLookedUp;
  std::vector<std::string> debug;
  std::string console;
};

// The one-instance lock is taken before the modem is touched; another instance's lock ends
// the run at once with exit code 3, a lock that cannot be made is said and the run goes on.
TEST(ControllerTest, TheOneInstanceLockComesBeforeTheModem) {
  const std::vector<InstanceCase> cases = {
      {"held elsewhere", os::InstanceLock::kHeldElsewhere, kExitAnotherInstance, false,
       {"[MS_SAR] Korvi: another instance already watches this notebook: exiting"},
       "\nKorvi: another instance already watches this notebook: exiting"},
      {"unavailable", os::InstanceLock::kUnavailable, kExitNormal, true,
       {"[MS_SAR] Korvi: the one-instance lock could not be taken: watching all the same",
        "[MS_SAR] Korvi: no mobile-broadband modem: nothing to do"},
       "\nKorvi: no mobile-broadband modem: nothing to do"},
      {"acquired", os::InstanceLock::kAcquired, kExitNormal, true,
       {"[MS_SAR] Korvi: no mobile-broadband modem: nothing to do"}, "\nKorvi: no mobile-broadband modem: nothing to do"},
  };
  for (const InstanceCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RecordingOs os;
    os.instanceLock = c.lock;
    NoModemPlatform platform;
    cellular::UsePlatform(platform);
    EXPECT_EQ(RunService(), c.exitCode);
    EXPECT_EQ(os.instanceLockTaken, 1);
    EXPECT_EQ(platform.lookups, c.modemLookedUp ? 1 : 0);
    EXPECT_EQ(os.Debug(), c.debug);
    EXPECT_EQ(os.Console(), c.console);
  }
}

// The channels take messages of any length whole: the debug text's buffer starts at 256
// characters and grows, and the console writes even a one-character message.
TEST(MessagesTest, EveryLengthArrivesWholeOnBothChannels) {
  for (const std::size_t length : {std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{300},
                                   std::size_t{5000}}) {
    SCOPED_TRACE(length);
    testing::RecordingOs os;
    const std::string text(length, 'k');
    WriteConsoleMessage("%s", text.c_str());
    WriteDebugMessage(L"%ls", std::wstring(length, L'k').c_str());
    EXPECT_EQ(os.Console(), text);
    EXPECT_EQ(os.Debug(), std::vector<std::string>{text});
  }
}

}  // namespace
}  // namespace korvi::controller
