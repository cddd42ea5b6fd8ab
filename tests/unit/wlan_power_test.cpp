// The WLAN transmit-power subsystem over the simulated COM/WMI and the
// simulated firmware, with a recording OS platform for the two message channels.
//
// Process-wide COM security can be set once per process. So that no test
// depends on the order in which tests run, a global environment makes the process's first call
// before any test runs and keeps what it wrote; every call made by a test is therefore a later
// call, and its console shows RPC_E_TOO_LATE (0x80010119) at step 3. Each test runs its calls on
// a fresh thread, since the COM apartment is per thread.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sim/models/apartments.h"
#include "platform/sim/models/object_count.h"
#include "platform/sim/models/sim_wmi.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scenario/scenario.h"
#include "platform/sim/scheduler/scheduler.h"
#include "support/recording_os.h"
#include "wlan_power/invoke_exec_int.h"
#include "wlan_power/wlan_tx_state.h"
#include "wlan_power/wmi_service.h"

namespace korvi {
namespace {

using sim::Apartment;
using sim::Apartments;
using sim::CountedObject;
using sim::Fault;
using wlan_power::ExecINTInputs;
using wlan_power::InvokeExecINT;

constexpr ExecINTInputs kNormal{L"38448", L"160", L"1", L"1", L"0", L"0"};
constexpr ExecINTInputs kReduce{L"38448", L"160", L"2", L"2", L"0", L"0"};
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005);

// Runs body on a new thread, one with no COM apartment yet; a failure inside is rethrown here.
void OnFreshThread(const std::function<void()>& body) {
  std::exception_ptr failure;
  std::thread thread([&] {
    try {
      body();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  thread.join();
  if (failure) std::rethrow_exception(failure);
}

// One simulated notebook's WMI side with a recording OS, both installed.
struct Rig {
  explicit Rig(std::vector<Fault> faultList = {}, sim::FirmwareSetup firmware = {})
      : faults(std::move(faultList)), wmi(faults, scheduler, firmware, sim::Recorder::Nothing()) {
    wlan_power::UsePlatform(wmi);
  }
  testing::RecordingOs os;  // installs itself as the OS platform
  sim::FaultTable faults;
  sim::Scheduler scheduler;
  sim::SimWmi wmi;
};

using Entry = std::pair<bool, std::string>;  // (debug channel?, text), in the order written

std::vector<Entry> Entries(const testing::RecordingOs& os) {
  std::vector<Entry> entries;
  for (const auto& write : os.Writes()) entries.emplace_back(write.debug, write.text);
  return entries;
}

std::vector<std::uint32_t> Inputs(const sim::FirmwareCall& call) {
  return std::vector<std::uint32_t>(std::begin(call.inputs), std::end(call.inputs));
}

// The console reports of a call, as building blocks.
const std::string kTooLate = "CoInitializeSecurity returned 0x80010119:\n[-] Err: CoInitializeSecurity";
const std::string kConnect = "\nConnectServer returned 0x0:";
const std::string kGetObject = "\nGetObject returned 0x0:";
const std::string kGetMethod = "\nGetMethod returned 0x0:";
const std::string kSpawn = "\nSpawnInstance returned 0x0:";
const std::string kPathGet = "\npObj Get returned 0x0:";
const std::string kExec = "\nExecMethod returned 0x0:";
const std::string kEnd = "Terminating normally\n";

std::string Put(int n, const char* code = "0") {
  std::string report = "\nPut ArgName" + std::to_string(n) + " returned 0x" + code + ":";
  if (std::string(code) != "0") report += "\n[-] Err: Put ArgName" + std::to_string(n);
  return report;
}
std::string Puts() { return Put(0) + Put(1) + Put(2) + Put(3) + Put(4) + Put(5); }
std::string ExecFails(const char* code) {
  return std::string("\nExecMethod returned 0x") + code + ":\n[-] Err: ExecMethod";
}
// Steps 5 to 15 when every one succeeds.
std::string FromStep5() { return kConnect + kGetObject + kGetMethod + kSpawn + Puts() + kPathGet + kExec + kEnd; }

// The process's first call, made before any test (see the top of the file).
struct FirstCallRecord {
  std::string console;
  std::vector<std::string> debug;
  std::vector<sim::FirmwareCall> calls;
  int depthAfter = -1;
  std::int64_t leaked = -1;
};
FirstCallRecord& FirstCall() {
  static FirstCallRecord record;
  return record;
}

class FirstCallOfTheProcess : public ::testing::Environment {
 public:
  void SetUp() override {
    OnFreshThread([] {
      const std::int64_t live = CountedObject::Live();
      Rig rig;
      InvokeExecINT(kNormal, false);
      FirstCall().console = rig.os.Console();
      FirstCall().debug = rig.os.Debug();
      FirstCall().calls = rig.wmi.Calls();
      FirstCall().depthAfter = Apartments::Depth();
      FirstCall().leaked = CountedObject::Live() - live;
    });
  }
};
[[maybe_unused]] ::testing::Environment* const kFirstCallEnvironment =
    ::testing::AddGlobalTestEnvironment(new FirstCallOfTheProcess);

// --- The firmware method call --------------------------------------------------------------

TEST(InvokeExecINT, FirstCallOfTheProcessWritesNothingForSteps2To4) {
  EXPECT_EQ(FirstCall().console,
            "\nConnectServer returned 0x0:"
            "\nGetObject returned 0x0:"
            "\nGetMethod returned 0x0:"
            "\nSpawnInstance returned 0x0:"
            "\nPut ArgName0 returned 0x0:"
            "\nPut ArgName1 returned 0x0:"
            "\nPut ArgName2 returned 0x0:"
            "\nPut ArgName3 returned 0x0:"
            "\nPut ArgName4 returned 0x0:"
            "\nPut ArgName5 returned 0x0:"
            "\npObj Get returned 0x0:"
            "\nExecMethod returned 0x0:"
            "Terminating normally\n");
  EXPECT_TRUE(FirstCall().debug.empty());
  ASSERT_EQ(FirstCall().calls.size(), 1u);
  EXPECT_EQ(Inputs(FirstCall().calls[0]), (std::vector<std::uint32_t>{38448, 160, 1, 1, 0, 0}));
  EXPECT_EQ(FirstCall().depthAfter, 0);
  EXPECT_EQ(FirstCall().leaked, 0);
}

TEST(InvokeExecINT, AllStepsSucceedMirrorNo) {
  OnFreshThread([] {
    Rig rig;
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + FromStep5());
    EXPECT_TRUE(rig.os.Debug().empty());
    ASSERT_EQ(rig.wmi.Calls().size(), 1u);
    EXPECT_EQ(Inputs(rig.wmi.Calls()[0]), (std::vector<std::uint32_t>{38448, 160, 1, 1, 0, 0}));
    EXPECT_EQ(rig.wmi.WlanState(), 1);
    EXPECT_EQ(CountedObject::Live(), live);
    EXPECT_EQ(Apartments::Depth(), 0);
    EXPECT_EQ(rig.wmi.ReleasesWithoutCom(), 0);
  });
}

TEST(InvokeExecINT, AllStepsSucceedMirrorYesWritesThreeDebugMessagesEachBeforeItsTwin) {
  OnFreshThread([] {
    Rig rig;
    InvokeExecINT(kReduce, true);
    const std::vector<Entry> expected = {
        {false, "CoInitializeSecurity returned 0x80010119:"},
        {false, "\n[-] Err: CoInitializeSecurity"},
        {false, "\nConnectServer returned 0x0:"},
        {false, "\nGetObject returned 0x0:"},
        {false, "\nGetMethod returned 0x0:"},
        {false, "\nSpawnInstance returned 0x0:"},
        {false, "\nPut ArgName0 returned 0x0:"},
        {false, "\nPut ArgName1 returned 0x0:"},
        {false, "\nPut ArgName2 returned 0x0:"},
        {false, "\nPut ArgName3 returned 0x0:"},
        {false, "\nPut ArgName4 returned 0x0:"},
        {false, "\nPut ArgName5 returned 0x0:"},
        {true, "[MS_SAR] pObj Get returned 0x0:"},
        {false, "\npObj Get returned 0x0:"},
        {true, "[MS_SAR] ExecMethod returned 0x0:"},
        {false, "\nExecMethod returned 0x0:"},
        {true, "[MS_SAR] Terminating normally"},
        {false, "Terminating normally\n"},
    };
    EXPECT_EQ(Entries(rig.os), expected);
    EXPECT_EQ(rig.os.Debug().size(), 3u);
    EXPECT_EQ(rig.wmi.WlanState(), 2);
  });
}

TEST(InvokeExecINT, ExecMethodFailsWithMirrorWritesFourDebugMessages) {
  OnFreshThread([] {
    Rig rig({Fault{"ExecMethod", static_cast<std::int32_t>(0x80041001), {}}});
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kReduce, true);
    const std::vector<Entry> entries = Entries(rig.os);
    const std::vector<Entry> expected = {
        {true, "[MS_SAR] pObj Get returned 0x0:"},
        {false, "\npObj Get returned 0x0:"},
        {true, "[MS_SAR] ExecMethod returned 0x80041001:"},
        {false, "\nExecMethod returned 0x80041001:"},
        {true, "[MS_SAR] [-] Err: ExecMethod"},
        {false, "\n[-] Err: ExecMethod"},
        {true, "[MS_SAR] Terminating normally"},
    };
    ASSERT_GE(entries.size(), 8u);
    EXPECT_EQ(std::vector<Entry>(entries.end() - 8, entries.end() - 1), expected);
    EXPECT_EQ(entries.back(), (Entry{false, "Terminating normally\n"}));
    EXPECT_EQ(rig.os.Debug().size(), 4u);
    EXPECT_EQ(rig.os.Console(), kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Puts() + kPathGet +
                                    ExecFails("80041001") + kEnd);
    EXPECT_TRUE(rig.wmi.Calls().empty());
    EXPECT_EQ(rig.wmi.WlanState(), 0);
    EXPECT_EQ(CountedObject::Live(), live);
  });
}

TEST(InvokeExecINT, ThreadAlreadySingleThreadedGetsSFalseAndIsLeftAsFound) {
  OnFreshThread([] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterSingleThreaded(), 0);
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + FromStep5());  // S_FALSE is no failure: no report
    EXPECT_EQ(Apartments::Depth(), 1);                    // the S_FALSE enter was undone
    EXPECT_EQ(Apartments::Current(), Apartment::kSingleThreaded);
    EXPECT_EQ(rig.wmi.Calls().size(), 1u);
    EXPECT_EQ(rig.wmi.ReleasesWithoutCom(), 0);
    Apartments::Leave();
  });
}

TEST(InvokeExecINT, MultithreadedThreadGetsChangedModeAndNoCoUninitialize) {
  OnFreshThread([] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kReduce, false);
    EXPECT_EQ(rig.os.Console(), "CoInitialize returned 0x80010106:\n[-] Err: CoInitialize" + kTooLate + FromStep5());
    EXPECT_EQ(Apartments::Depth(), 1);
    EXPECT_EQ(Apartments::Current(), Apartment::kMultithreaded);
    EXPECT_EQ(rig.wmi.Calls().size(), 1u);
    EXPECT_EQ(rig.wmi.WlanState(), 2);
    EXPECT_EQ(CountedObject::Live(), live);
    Apartments::Leave();
  });
}

TEST(InvokeExecINT, LaterCallInTheProcessShowsTooLateAndOtherwiseRunsAsBefore) {
  // The process's first call was made by the environment; both calls here are later ones.
  OnFreshThread([] {
    Rig rig;
    InvokeExecINT(kNormal, false);
    const std::string first = rig.os.Console();
    InvokeExecINT(kNormal, false);
    const std::string second = rig.os.Console().substr(first.size());
    EXPECT_EQ(second, kTooLate + FromStep5());
    EXPECT_EQ(second, first);
    // Apart from step 3, the later call wrote what the process's first call wrote.
    EXPECT_EQ(second.substr(kTooLate.size()), FirstCall().console);
    ASSERT_EQ(rig.wmi.Calls().size(), 2u);
    EXPECT_EQ(Inputs(rig.wmi.Calls()[0]), Inputs(rig.wmi.Calls()[1]));
  });
}

TEST(InvokeExecINT, NoInstanceNextGivesWbemSFalseAndIsReported) {
  OnFreshThread([] {
    Rig rig({}, sim::FirmwareSetup{false, 0});
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + kConnect + "\n[-] Err: Next" + kGetObject + kGetMethod + kSpawn + Puts() + kEnd);
    EXPECT_TRUE(rig.wmi.Calls().empty());
    EXPECT_EQ(CountedObject::Live(), live);
  });
}

TEST(InvokeExecINT, TwoOfTheFirstFourTextsFailingWriteStep1Once) {
  OnFreshThread([] {
    // Text 2 is the class name, text 4 the name "InEAX".
    Rig rig({Fault{"SysAllocString", kEFail, 2}, Fault{"SysAllocString", kEFail, 4}});
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kNormal, false);
    const std::vector<Entry> entries = Entries(rig.os);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], (Entry{false, "SysAllocString failed. Out of memory.\n"}));
    EXPECT_EQ(entries[1], (Entry{false, "\n[-] Err: xxx"}));
    // With no class name GetObject fails, so steps 10 to 12 have nothing to work on; ExecMethod
    // is still made, with no in-parameters.
    EXPECT_EQ(rig.os.Console(), "SysAllocString failed. Out of memory.\n\n[-] Err: xxx" + kTooLate + kConnect +
                                    "\nGetObject returned 0x80041008:\n[-] Err: GetObject" + kPathGet +
                                    ExecFails("80041008") + kEnd);
    EXPECT_EQ(CountedObject::Live(), live);
  });
}

TEST(InvokeExecINT, LaterTextsOfStep1AreNotTested) {
  OnFreshThread([] {
    Rig rig({Fault{"SysAllocString", kEFail, 5}});  // "InEBX"
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Put(0) + Put(1, "80041008") +
                                    Put(2) + Put(3) + Put(4) + Put(5) + kPathGet + ExecFails("8004102f") + kEnd);
  });
}

TEST(InvokeExecINT, OnePutFailsAndTheRestStillRun) {
  OnFreshThread([] {
    Rig rig({Fault{"Put", static_cast<std::int32_t>(0x80041005), 3}});
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Put(0) + Put(1) +
                                    Put(2, "80041005") + Put(3) + Put(4) + Put(5) + kPathGet + ExecFails("8004102f") +
                                    kEnd);
    EXPECT_EQ(rig.faults.Calls("Put"), 6);
    EXPECT_EQ(rig.faults.Calls("ExecMethod"), 1);
    EXPECT_TRUE(rig.wmi.Calls().empty());  // the firmware wants all six inputs
  });
}

TEST(InvokeExecINT, InputThatIsNotAUint32FailsItsPut) {
  OnFreshThread([] {
    Rig rig;
    InvokeExecINT(ExecINTInputs{L"38448", L"4294967296", L"1", L"1", L"0", L"0"}, false);
    EXPECT_EQ(rig.os.Console(), kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Put(0) + Put(1, "80041005") +
                                    Put(2) + Put(3) + Put(4) + Put(5) + kPathGet + ExecFails("8004102f") + kEnd);
  });
}

// Each platform step failing in turn, through the fault table.
struct FailingStep {
  const char* name;
  std::vector<Fault> faults;
  std::string console;
  std::size_t firmwareCalls;
};

void PrintTo(const FailingStep& step, std::ostream* out) { *out << step.name; }

std::vector<FailingStep> FailingSteps() {
  const std::string afterSpawn = kGetObject + kGetMethod + kSpawn + Puts();
  return {
      {"SysAllocStringEveryCall", {Fault{"SysAllocString", kEFail, {}}},
       "SysAllocString failed. Out of memory.\n\n[-] Err: xxx" + kTooLate +
           "\nConnectServer returned 0x80041008:\n[-] Err: ConnectServer" + kEnd,
       0},
      {"SysAllocStringQuery", {Fault{"SysAllocString", kEFail, 10}},
       kTooLate + kConnect + "\n[-] Err: ExecQuery" + afterSpawn + kEnd, 0},
      {"SysAllocStringOutEdxName", {Fault{"SysAllocString", kEFail, 13}}, kTooLate + FromStep5(), 1},
      {"CoInitialize", {Fault{"CoInitialize", kEFail, {}}},
       "CoInitialize returned 0x80004005:\n[-] Err: CoInitialize" + kTooLate +
           "CoCreateInstance returned 0x800401f0:\n[-] Err: CoCreateInstance" + kEnd,
       0},
      {"CoInitializeSecurity", {Fault{"CoInitializeSecurity", kEFail, {}}},
       "CoInitializeSecurity returned 0x80004005:\n[-] Err: CoInitializeSecurity" + FromStep5(), 1},
      {"CoCreateInstance", {Fault{"CoCreateInstance", kEFail, {}}},
       kTooLate + "CoCreateInstance returned 0x80004005:\n[-] Err: CoCreateInstance" + kEnd, 0},
      {"ConnectServer", {Fault{"ConnectServer", kEFail, {}}},
       kTooLate + "\nConnectServer returned 0x80004005:\n[-] Err: ConnectServer" + kEnd, 0},
      {"CoSetProxyBlanket", {Fault{"CoSetProxyBlanket", kEFail, {}}},
       kTooLate + kConnect + "\n[-] Err: CoSetProxyBlanket" + afterSpawn + kPathGet + kExec + kEnd, 1},
      {"ExecQuery", {Fault{"ExecQuery", kEFail, {}}}, kTooLate + kConnect + "\n[-] Err: ExecQuery" + afterSpawn + kEnd, 0},
      {"Next", {Fault{"Next", kEFail, {}}}, kTooLate + kConnect + "\n[-] Err: Next" + afterSpawn + kEnd, 0},
      {"GetObject", {Fault{"GetObject", kEFail, {}}},
       kTooLate + kConnect + "\nGetObject returned 0x80004005:\n[-] Err: GetObject" + kPathGet +
           ExecFails("80041008") + kEnd,
       0},
      {"GetMethod", {Fault{"GetMethod", kEFail, {}}},
       kTooLate + kConnect + kGetObject + "\nGetMethod returned 0x80004005:\n[-] Err: GetMethod" + kPathGet +
           ExecFails("80041008") + kEnd,
       0},
      {"SpawnInstance", {Fault{"SpawnInstance", kEFail, {}}},
       kTooLate + kConnect + kGetObject + kGetMethod + "\nSpawnInstance returned 0x80004005:\n[-] Err: SpawnInstance" +
           kPathGet + ExecFails("80041008") + kEnd,
       0},
      {"Put", {Fault{"Put", kEFail, {}}},
       kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Put(0, "80004005") + Put(1, "80004005") +
           Put(2, "80004005") + Put(3, "80004005") + Put(4, "80004005") + Put(5, "80004005") + kPathGet +
           ExecFails("8004102f") + kEnd,
       0},
      {"Get", {Fault{"Get", kEFail, {}}},
       kTooLate + kConnect + afterSpawn + "\npObj Get returned 0x80004005:\n[-] Err: Get" + kEnd, 0},
      {"GetOutEdx", {Fault{"Get", kEFail, 2}}, kTooLate + FromStep5(), 1},
      {"ExecMethod", {Fault{"ExecMethod", kEFail, {}}},
       kTooLate + kConnect + afterSpawn + kPathGet + ExecFails("80004005") + kEnd, 0},
  };
}

class EachStepFailing : public ::testing::TestWithParam<FailingStep> {};

TEST_P(EachStepFailing, ReportsGoOnAndNothingLeaks) {
  const FailingStep& step = GetParam();
  OnFreshThread([&] {
    Rig rig(step.faults);
    const std::int64_t live = CountedObject::Live();
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.os.Console(), step.console);
    EXPECT_TRUE(rig.os.Debug().empty());
    EXPECT_EQ(rig.wmi.Calls().size(), step.firmwareCalls);
    EXPECT_EQ(CountedObject::Live(), live);
    EXPECT_EQ(Apartments::Depth(), 0);
    EXPECT_EQ(rig.wmi.ReleasesWithoutCom(), 0);
  });
}

INSTANTIATE_TEST_SUITE_P(Steps, EachStepFailing, ::testing::ValuesIn(FailingSteps()),
                         [](const ::testing::TestParamInfo<FailingStep>& info) { return std::string(info.param.name); });

// The out-of-memory exception of steps 7 and 13, from each kind of apartment the thread may be in.
struct OutOfMemoryCase {
  const char* name;
  std::int64_t textCall;  // which SysAllocString fails: 11 is "WQL", 12 is "__PATH"
  Apartment before;
  std::string console;
};

void PrintTo(const OutOfMemoryCase& c, std::ostream* out) { *out << c.name; }

class OutOfMemory : public ::testing::TestWithParam<OutOfMemoryCase> {};

TEST_P(OutOfMemory, ThrowsReleasesEverythingAndLeavesTheApartmentAsFound) {
  const OutOfMemoryCase& c = GetParam();
  OnFreshThread([&] {
    Rig rig({Fault{"SysAllocString", kEFail, c.textCall}});
    if (c.before == Apartment::kSingleThreaded) {
      ASSERT_EQ(Apartments::EnterSingleThreaded(), 0);
    }
    if (c.before == Apartment::kMultithreaded) {
      ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    }
    const int depth = Apartments::Depth();
    const std::int64_t live = CountedObject::Live();
    bool thrown = false;
    try {
      InvokeExecINT(kReduce, true);
    } catch (const wlan_power::OutOfMemoryError& error) {
      thrown = true;
      EXPECT_NE(std::string(error.what()).find("E_OUTOFMEMORY"), std::string::npos);
      EXPECT_NE(std::string(error.what()).find("0x8007000E"), std::string::npos);
      EXPECT_NE(dynamic_cast<const std::bad_alloc*>(&error), nullptr);
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(CountedObject::Live(), live);
    EXPECT_EQ(Apartments::Depth(), depth);
    EXPECT_EQ(Apartments::Current(), c.before);
    EXPECT_EQ(rig.os.Console(), c.console);
    EXPECT_TRUE(rig.os.Debug().empty());
    EXPECT_TRUE(rig.wmi.Calls().empty());
    EXPECT_EQ(rig.wmi.ReleasesWithoutCom(), 0);
    if (depth > 0) Apartments::Leave();
  });
}

std::vector<OutOfMemoryCase> OutOfMemoryCases() {
  const std::string changedMode = "CoInitialize returned 0x80010106:\n[-] Err: CoInitialize";
  const std::string toPuts = kTooLate + kConnect + kGetObject + kGetMethod + kSpawn + Puts();
  return {
      {"WqlNoApartment", 11, Apartment::kNone, kTooLate + kConnect},
      {"WqlSingleThreaded", 11, Apartment::kSingleThreaded, kTooLate + kConnect},
      {"WqlMultithreaded", 11, Apartment::kMultithreaded, changedMode + kTooLate + kConnect},
      {"PathNoApartment", 12, Apartment::kNone, toPuts},
      {"PathSingleThreaded", 12, Apartment::kSingleThreaded, toPuts},
      {"PathMultithreaded", 12, Apartment::kMultithreaded, changedMode + toPuts},
  };
}

INSTANTIATE_TEST_SUITE_P(Texts, OutOfMemory, ::testing::ValuesIn(OutOfMemoryCases()),
                         [](const ::testing::TestParamInfo<OutOfMemoryCase>& info) { return std::string(info.param.name); });

// --- The two WLAN requests -------------------------------------------------------------------

constexpr const char* kWmiOps[] = {"SysAllocString", "CoInitialize", "CoInitializeSecurity", "CoCreateInstance",
                                   "ConnectServer", "CoSetProxyBlanket", "ExecQuery", "Next", "GetObject",
                                   "GetMethod", "SpawnInstance", "Put", "Get", "ExecMethod"};

std::map<std::string, std::int64_t> OpCounts(const sim::FaultTable& faults) {
  std::map<std::string, std::int64_t> counts;
  for (const char* op : kWmiOps) counts[op] = faults.Calls(op);
  return counts;
}

TEST(WlanTxState, NormalAndReduceDifferOnlyInEcxAndEdx) {
  OnFreshThread([] {
    Rig rig;
    wlan_power::SetWLANTxState_WLANNORMAL();
    const std::string normalConsole = rig.os.Console();
    const std::size_t normalDebug = rig.os.Debug().size();
    const auto normalCounts = OpCounts(rig.faults);
    EXPECT_EQ(rig.wmi.WlanState(), 1);

    wlan_power::SetWLANTxState_WLANREDUCE();
    const std::string reduceConsole = rig.os.Console().substr(normalConsole.size());
    auto reduceCounts = OpCounts(rig.faults);
    for (auto& [op, count] : reduceCounts) count -= normalCounts.at(op);

    EXPECT_EQ(normalConsole, reduceConsole);  // the console reports are the same for both
    EXPECT_EQ(normalDebug, 0u);
    EXPECT_EQ(rig.os.Debug(), (std::vector<std::string>{"[MS_SAR] pObj Get returned 0x0:",
                                                        "[MS_SAR] ExecMethod returned 0x0:",
                                                        "[MS_SAR] Terminating normally"}));
    EXPECT_EQ(normalCounts, reduceCounts);  // the same platform calls, the same number of times
    ASSERT_EQ(rig.wmi.Calls().size(), 2u);
    EXPECT_EQ(Inputs(rig.wmi.Calls()[0]), (std::vector<std::uint32_t>{38448, 160, 1, 1, 0, 0}));
    EXPECT_EQ(Inputs(rig.wmi.Calls()[1]), (std::vector<std::uint32_t>{38448, 160, 2, 2, 0, 0}));
    EXPECT_EQ(rig.wmi.WlanState(), 2);
  });
}

TEST(WlanTxState, TwoReduceRequestsInARowBothReachTheFirmware) {
  OnFreshThread([] {
    Rig rig;
    wlan_power::SetWLANTxState_WLANREDUCE();
    wlan_power::SetWLANTxState_WLANREDUCE();
    ASSERT_EQ(rig.wmi.Calls().size(), 2u);
    EXPECT_EQ(Inputs(rig.wmi.Calls()[0]), (std::vector<std::uint32_t>{38448, 160, 2, 2, 0, 0}));
    EXPECT_EQ(Inputs(rig.wmi.Calls()[1]), Inputs(rig.wmi.Calls()[0]));
    EXPECT_EQ(rig.os.Debug().size(), 6u);
    EXPECT_EQ(rig.wmi.WlanState(), 2);
  });
}

TEST(WlanTxState, OutOfMemoryPassesThroughTheRequest) {
  OnFreshThread([] {
    Rig rig({Fault{"SysAllocString", kEFail, 11}});
    const std::int64_t live = CountedObject::Live();
    EXPECT_THROW(wlan_power::SetWLANTxState_WLANNORMAL(), std::bad_alloc);
    EXPECT_EQ(CountedObject::Live(), live);
    EXPECT_EQ(Apartments::Depth(), 0);
  });
}

// --- The simulated WMI service itself -------------------------------------------------------

// Drives the seam by hand on a thread in the multithreaded apartment.
struct WmiDriver {
  explicit WmiDriver(sim::SimWmi& wmi) : wmi(wmi) {}
  std::unique_ptr<wlan_power::WmiText> Text(const wchar_t* text) {
    std::unique_ptr<wlan_power::WmiText> made;
    EXPECT_EQ(wmi.SysAllocString(text, made), 0);
    return made;
  }
  sim::SimWmi& wmi;
};

TEST(SimWmi, SysAllocStringOfNoTextGivesNoneAndCountsAsACall) {
  Rig rig;
  std::unique_ptr<wlan_power::WmiText> made;
  EXPECT_EQ(rig.wmi.SysAllocString(nullptr, made), wlan_power::kEOutOfMemory);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(rig.faults.Calls("SysAllocString"), 1);
}

TEST(SimWmi, CoCreateInstanceNeedsCom) {
  OnFreshThread([] {
    Rig rig;
    std::unique_ptr<wlan_power::WbemLocator> locator;
    EXPECT_EQ(rig.wmi.CoCreateInstance(locator), static_cast<std::int32_t>(0x800401F0));
    EXPECT_EQ(locator, nullptr);
  });
}

TEST(SimWmi, ConnectServerNeedsRootWmi) {
  OnFreshThread([] {
    Rig rig;
    WmiDriver s(rig.wmi);
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    std::unique_ptr<wlan_power::WbemLocator> locator;
    ASSERT_EQ(rig.wmi.CoCreateInstance(locator), 0);
    struct Case {
      const wchar_t* ns;
      std::int32_t expected;
    };
    for (const Case& c : {Case{nullptr, sim::kWbemEInvalidParameter}, Case{L"root\\cimv2", sim::kWbemEInvalidNamespace},
                          Case{L"root\\wmi", 0}, Case{L"ROOT\\WMI", 0}}) {
      std::unique_ptr<wlan_power::WmiText> ns = c.ns ? s.Text(c.ns) : nullptr;
      std::unique_ptr<wlan_power::WbemServices> services;
      EXPECT_EQ(locator->ConnectServer(ns.get(), services), c.expected);
      EXPECT_EQ(services != nullptr, c.expected == 0);
    }
    Apartments::Leave();
  });
}

// Brings a call up to the in-parameters and the instance's path.
struct MethodCall {
  explicit MethodCall(Rig& rig) : s(rig.wmi) {
    EXPECT_EQ(rig.wmi.CoCreateInstance(locator), 0);
    auto ns = s.Text(L"root\\wmi");
    EXPECT_EQ(locator->ConnectServer(ns.get(), services), 0);
    auto wql = s.Text(L"WQL");
    auto query = s.Text(L"select * from QELBUTTONMETHODDWSI");
    EXPECT_EQ(services->ExecQuery(wql.get(), query.get(), wlan_power::kWbemFlagForwardOnlyReturnImmediately, enumerator), 0);
    EXPECT_EQ(enumerator->Next(instance), 0);
    std::unique_ptr<wlan_power::WbemClassObject> again;
    EXPECT_EQ(enumerator->Next(again), sim::kWbemSFalse);
    EXPECT_EQ(again, nullptr);
    auto className = s.Text(L"QelButtonMethodDWSi");
    EXPECT_EQ(services->GetObject(className.get(), classDefinition), 0);
    EXPECT_EQ(classDefinition->GetMethod(method.get(), inSignature), 0);
    EXPECT_EQ(inSignature->SpawnInstance(inParameters), 0);
    auto pathName = s.Text(L"__PATH");
    EXPECT_EQ(instance->Get(pathName.get(), path), 0);
  }
  std::int32_t Put(const wchar_t* name, const wchar_t* value, std::int32_t type = wlan_power::kCimUint32) {
    auto text = s.Text(name);
    return inParameters->Put(text.get(), value, type);
  }
  std::int32_t PutAll(const ExecINTInputs& inputs) {
    std::int32_t worst = 0;
    for (const auto& [name, value] : {std::pair{L"InEAX", inputs.inEAX}, std::pair{L"InEBX", inputs.inEBX},
                                      std::pair{L"InECX", inputs.inECX}, std::pair{L"InEDX", inputs.inEDX},
                                      std::pair{L"InESI", inputs.inESI}, std::pair{L"InEDI", inputs.inEDI}}) {
      const std::int32_t code = Put(name, value);
      if (code != 0) worst = code;
    }
    return worst;
  }

  WmiDriver s;
  std::unique_ptr<wlan_power::WmiText> method = s.Text(L"ExecINT");
  std::unique_ptr<wlan_power::WbemLocator> locator;
  std::unique_ptr<wlan_power::WbemServices> services;
  std::unique_ptr<wlan_power::WbemEnumerator> enumerator;
  std::unique_ptr<wlan_power::WbemClassObject> instance;
  std::unique_ptr<wlan_power::WbemClassObject> classDefinition;
  std::unique_ptr<wlan_power::WbemClassObject> inSignature;
  std::unique_ptr<wlan_power::WbemClassObject> inParameters;
  std::unique_ptr<wlan_power::WmiValue> path;
};

TEST(SimWmi, PutConvertsTheDecimalTextAsAUint32) {
  struct Case {
    const wchar_t* text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {L"0", 0},
      {L"38448", 0},
      {L"4294967295", 0},
      {L"4294967296", sim::kWbemETypeMismatch},
      {L"-1", sim::kWbemETypeMismatch},
      {L"", sim::kWbemETypeMismatch},
      {L"12a", sim::kWbemETypeMismatch},
      {L"0x10", sim::kWbemETypeMismatch},
      {L" 1", sim::kWbemETypeMismatch},
  };
  OnFreshThread([&] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    {
      MethodCall call(rig);
      for (const Case& c : cases) {
        EXPECT_EQ(call.Put(L"InEAX", c.text), c.expected) << std::wstring(c.text).size();
      }
    }
    Apartments::Leave();
  });
}

TEST(SimWmi, PutChecksTheNameAndTheDeclaredType) {
  OnFreshThread([] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    {
      MethodCall call(rig);
      EXPECT_EQ(call.Put(L"InEAX", L"1"), 0);
      EXPECT_EQ(call.Put(L"ineax", L"1"), 0);  // WMI names compare without regard to case
      EXPECT_EQ(call.Put(L"InEXX", L"1"), sim::kWbemENotFound);
      EXPECT_EQ(call.Put(L"OutEDX", L"1"), sim::kWbemENotFound);
      EXPECT_EQ(call.Put(L"InEAX", L"1", 8), sim::kWbemETypeMismatch);  // CIM_STRING
      EXPECT_EQ(call.inParameters->Put(nullptr, L"1", wlan_power::kCimUint32), sim::kWbemEInvalidParameter);
    }
    Apartments::Leave();
  });
}

TEST(SimWmi, ExecMethodChecksPathMethodAndInputsThenRecordsTheCall) {
  OnFreshThread([] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    {
      MethodCall call(rig);
      std::unique_ptr<wlan_power::WbemClassObject> out;
      // Five of six inputs: the method's parameters are incomplete.
      for (const wchar_t* name : {L"InEAX", L"InEBX", L"InECX", L"InEDX", L"InESI"}) ASSERT_EQ(call.Put(name, L"7"), 0);
      EXPECT_EQ(call.services->ExecMethod(*call.path, call.method.get(), call.inParameters.get(), out),
                sim::kWbemEInvalidMethodParameters);
      ASSERT_EQ(call.PutAll(kReduce), 0);
      // No in-parameters at all.
      EXPECT_EQ(call.services->ExecMethod(*call.path, call.method.get(), nullptr, out), sim::kWbemEInvalidParameter);
      // The wrong method.
      auto other = call.s.Text(L"ExecOther");
      EXPECT_EQ(call.services->ExecMethod(*call.path, other.get(), call.inParameters.get(), out), sim::kWbemEInvalidMethod);
      // The wrong path: the class's, not the instance's.
      auto pathName = call.s.Text(L"__PATH");
      std::unique_ptr<wlan_power::WmiValue> classPath;
      ASSERT_EQ(call.classDefinition->Get(pathName.get(), classPath), 0);
      EXPECT_EQ(call.services->ExecMethod(*classPath, call.method.get(), call.inParameters.get(), out),
                sim::kWbemEInvalidObjectPath);
      EXPECT_EQ(out, nullptr);
      EXPECT_TRUE(rig.wmi.Calls().empty());
      EXPECT_EQ(rig.wmi.WlanState(), 0);

      ASSERT_EQ(call.services->ExecMethod(*call.path, call.method.get(), call.inParameters.get(), out), 0);
      ASSERT_NE(out, nullptr);
      auto outName = call.s.Text(L"OutEDX");
      std::unique_ptr<wlan_power::WmiValue> outEdx;
      EXPECT_EQ(out->Get(outName.get(), outEdx), 0);
      EXPECT_NE(outEdx, nullptr);
      auto unknown = call.s.Text(L"OutEAX");
      EXPECT_EQ(out->Get(unknown.get(), outEdx), sim::kWbemENotFound);
      ASSERT_EQ(rig.wmi.Calls().size(), 1u);
      EXPECT_EQ(Inputs(rig.wmi.Calls()[0]), (std::vector<std::uint32_t>{38448, 160, 2, 2, 0, 0}));
      EXPECT_EQ(rig.wmi.WlanState(), 2);
    }
    Apartments::Leave();
  });
}

TEST(SimWmi, QueryAndObjectNamesAreChecked) {
  OnFreshThread([] {
    Rig rig;
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    {
      MethodCall call(rig);
      std::unique_ptr<wlan_power::WbemEnumerator> enumerator;
      auto wql = call.s.Text(L"WQL");
      auto sql = call.s.Text(L"SQL");
      auto query = call.s.Text(L"Select * from QelButtonMethodDWSi");
      auto otherQuery = call.s.Text(L"Select * from Win32_Processor");
      EXPECT_EQ(call.services->ExecQuery(sql.get(), query.get(), 0x30, enumerator), sim::kWbemEInvalidQueryType);
      EXPECT_EQ(call.services->ExecQuery(wql.get(), otherQuery.get(), 0x30, enumerator), sim::kWbemEInvalidQuery);
      EXPECT_EQ(call.services->ExecQuery(nullptr, query.get(), 0x30, enumerator), sim::kWbemEInvalidParameter);
      EXPECT_EQ(enumerator, nullptr);
      std::unique_ptr<wlan_power::WbemClassObject> object;
      auto otherClass = call.s.Text(L"Win32_Processor");
      EXPECT_EQ(call.services->GetObject(otherClass.get(), object), sim::kWbemENotFound);
      auto otherMethod = call.s.Text(L"ExecOther");
      EXPECT_EQ(call.classDefinition->GetMethod(otherMethod.get(), object), sim::kWbemENotFound);
      EXPECT_EQ(object, nullptr);
    }
    Apartments::Leave();
  });
}

TEST(SimWmi, ExecMethodParksForTheFirmwaresTime) {
  OnFreshThread([] {
    Rig rig({}, sim::FirmwareSetup{true, 400});
    rig.scheduler.Start();
    ASSERT_EQ(Apartments::EnterMultithreaded(), 0);
    const std::int64_t before = rig.scheduler.NowMs();
    InvokeExecINT(kNormal, false);
    EXPECT_EQ(rig.scheduler.NowMs() - before, 400) << "the firmware's time, and the service's own work none";
    EXPECT_EQ(rig.wmi.Calls().size(), 1u);
    Apartments::Leave();
    rig.scheduler.Stop();
  });
}

TEST(SimWmi, WlanStateIsUnsetUntilACallSucceeds) {
  Rig rig;
  EXPECT_EQ(rig.wmi.WlanState(), 0);
  EXPECT_TRUE(rig.wmi.Calls().empty());
}

TEST(SimWmi, CallsFromSeveralThreadsAreAllRecorded) {
  Rig rig;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 5; ++i) (t % 2 == 0 ? wlan_power::SetWLANTxState_WLANREDUCE : wlan_power::SetWLANTxState_WLANNORMAL)();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(rig.wmi.Calls().size(), 20u);
  const int state = rig.wmi.WlanState();
  EXPECT_TRUE(state == 1 || state == 2);
}

}  // namespace
}  // namespace korvi
