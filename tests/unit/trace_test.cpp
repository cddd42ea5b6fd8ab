// The run's trace and the figures made from it: what exposure and latency mean on the tricky
// sequences (a failed reduction, a gap inside the hysteresis, changes that collapse, a run
// that ends mid-burst), the exact form of each trace line, and a trace written from two
// threads at once staying whole and in stamp order.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "figures/latency.h"
#include "platform/sim/recorder/run_figures.h"
#include "platform/sim/recorder/trace_file.h"
#include "platform/sim/recorder/trace_log.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {
namespace {

constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80041008);

TraceRecord Tx(std::int64_t us, bool transmitting) {
  TraceRecord r;
  r.event = TraceEvent::kTransmission;
  r.simUs = us;
  r.transmitting = transmitting;
  return r;
}

// A firmware call that ends at `us`, asking for `state`, with `result`.
TraceRecord FirmwareEnd(std::int64_t us, std::optional<std::uint32_t> state, std::int32_t result = 0) {
  TraceRecord r;
  r.event = TraceEvent::kFirmwareEnd;
  r.simUs = us;
  r.wlanState = state;
  r.result = result;
  return r;
}

TraceRecord At(std::int64_t us, TraceEvent event) {
  TraceRecord r;
  r.event = event;
  r.simUs = us;
  return r;
}

constexpr std::uint32_t kNormal = 1;
constexpr std::uint32_t kReduced = 2;

struct FiguresCase {
  const char* name;
  std::vector<TraceRecord> records;
  std::int64_t transmittingUs;
  std::int64_t exposureUs;
  std::vector<std::int64_t> latenciesUs;
  std::int64_t alreadyReduced;
  std::int64_t neverReduced;
  bool transmittingAtEnd;
};

const FiguresCase kFiguresCases[] = {
    {"nothing happens", {At(0, TraceEvent::kRun), At(9000, TraceEvent::kExit)}, 0, 0, {}, 0, 0, false},
    {"one burst reduced after 500 us",
     {At(0, TraceEvent::kRun), Tx(1000, true), FirmwareEnd(1500, kReduced), Tx(5000, false),
      FirmwareEnd(9000, kNormal), At(9500, TraceEvent::kExit)},
     4000, 500, {500}, 0, 0, false},
    {"a failed reduction leaves the modem exposed until one succeeds",
     {Tx(1000, true), FirmwareEnd(1500, kReduced, kFailed), FirmwareEnd(3000, kReduced), Tx(4000, false),
      At(5000, TraceEvent::kExit)},
     3000, 2000, {2000}, 0, 0, false},
    {"a start inside the hysteresis finds the power still reduced",
     {Tx(1000, true), FirmwareEnd(1100, kReduced), Tx(2000, false), Tx(2500, true), Tx(4000, false),
      FirmwareEnd(9000, kNormal), At(9100, TraceEvent::kExit)},
     2500, 100, {100}, 1, 0, false},
    {"a start answered by normal power (collapsed changes) is never reduced",
     {Tx(1000, true), Tx(1200, false), FirmwareEnd(3000, kNormal), At(4000, TraceEvent::kExit)},
     200, 200, {}, 0, 1, false},
    {"restoring normal power mid-burst exposes the rest of the burst",
     {Tx(1000, true), FirmwareEnd(1100, kReduced), FirmwareEnd(2000, kNormal), Tx(3000, false),
      At(4000, TraceEvent::kExit)},
     2000, 1100, {100}, 0, 0, false},
    {"a run that ends mid-burst counts to its exit and not after",
     {Tx(1000, true), At(3000, TraceEvent::kExit), Tx(8000, false), FirmwareEnd(9000, kReduced)},
     2000, 2000, {}, 0, 1, true},
    {"two starts before one slow reduction both wait for it",
     {Tx(1000, true), Tx(1500, false), Tx(2000, true), FirmwareEnd(4000, kReduced), At(5000, TraceEvent::kExit)},
     3500, 2500, {3000, 2000}, 0, 0, true},
    {"a state other than 2, or none, is not reduced",
     {Tx(1000, true), FirmwareEnd(1200, 3u), FirmwareEnd(1400, std::nullopt), At(2000, TraceEvent::kExit)},
     1000, 1000, {}, 0, 1, true},
    {"the service's own reads change no figure",
     {At(0, TraceEvent::kMonitoring), At(0, TraceEvent::kStateAtStart), At(0, TraceEvent::kRadioCheck),
      Tx(1000, true), At(1200, TraceEvent::kRadioCheck), FirmwareEnd(1500, kReduced), At(1500, TraceEvent::kRadioCheck),
      Tx(5000, false), At(6000, TraceEvent::kMonitoring), At(9500, TraceEvent::kExit)},
     4000, 500, {500}, 0, 0, false},
    {"a repeated state is not an edge",
     {Tx(1000, true), Tx(1500, true), FirmwareEnd(2000, kReduced), At(3000, TraceEvent::kExit)},
     2000, 1000, {1000}, 0, 0, true},
};

class Figures : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(Figures, FoldTheRecords) {
  const FiguresCase& c = GetParam();
  RunFigures figures;
  for (const TraceRecord& record : c.records) figures.Add(record);
  EXPECT_EQ(figures.transmittingUs(), c.transmittingUs);
  EXPECT_EQ(figures.exposureUs(), c.exposureUs);
  EXPECT_EQ(figures.latenciesUs(), c.latenciesUs);
  EXPECT_EQ(figures.startsAlreadyReduced(), c.alreadyReduced);
  EXPECT_EQ(figures.startsNeverReduced(), c.neverReduced);
  EXPECT_EQ(figures.transmittingAtEnd(), c.transmittingAtEnd);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Figures, ::testing::ValuesIn(kFiguresCases),
                         [](const ::testing::TestParamInfo<FiguresCase>& info) {
                           std::string name;
                           for (const char c : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(FiguresSummary, LinesGiveCountsAndMillisecondsWithAnEvenMedianAveraged) {
  RunFigures figures;
  TraceRecord failedStart = At(50, TraceEvent::kFirmwareStart);
  for (const TraceRecord& record :
       {At(0, TraceEvent::kRun), At(1, TraceEvent::kNotification), At(2, TraceEvent::kWake), failedStart,
        FirmwareEnd(60, kReduced, kFailed), Tx(1000, true), At(1001, TraceEvent::kFirmwareStart),
        FirmwareEnd(1250, kReduced), Tx(2000, false), At(2001, TraceEvent::kFirmwareStart), FirmwareEnd(2002, kNormal),
        Tx(3000, true), At(3001, TraceEvent::kFirmwareStart), FirmwareEnd(4000, kReduced), At(1234567, TraceEvent::kExit)})
    figures.Add(record);
  std::ostringstream out;
  figures.Write(out);
  EXPECT_EQ(out.str(),
            "korvi-sim: trace: notifications 1, wake-ups 1, firmware calls 4 (failed 1, completed 3)\n"
            "korvi-sim: time transmitting: 1232.567 ms simulated, in 2 bursts; transmitting at exit: yes\n"
            "korvi-sim: exposure (transmitting while WLAN power normal): 1.250 ms simulated\n"
            "korvi-sim: reaction latency (transmission start to reduced WLAN power): 2 measured, median 0.625 ms, "
            "max 1.000 ms simulated; starts already reduced 0, never reduced 0\n");
}

TEST(FiguresSummary, NoLatencyShowsDashes) {
  std::ostringstream out;
  RunFigures().Write(out);
  EXPECT_NE(out.str().find("0 measured, median -, max -; starts already reduced 0, never reduced 0\n"),
            std::string::npos);
}

TEST(FiguresSummary, MillisecondsAreExactMicroseconds) {
  EXPECT_EQ(figures::Milliseconds(0), "0.000");
  EXPECT_EQ(figures::Milliseconds(1), "0.001");
  EXPECT_EQ(figures::Milliseconds(999), "0.999");
  EXPECT_EQ(figures::Milliseconds(1234567), "1234.567");
  EXPECT_EQ(figures::Milliseconds(-1500), "-1.500");
}

TEST(TraceLines, EachEventHasItsFields) {
  TraceRecord run = At(3, TraceEvent::kRun);
  run.wallUs = 1;
  run.speed = 0.25;
  run.identity = R"("build":{"version":"1.0.0","commit":"-"},"scenario":{"embedded":true,"sha256":"-"})";
  TraceRecord tx = Tx(300123, true);
  tx.wallUs = 60024;
  tx.scenarioMs = 300;
  TraceRecord notify = At(7, TraceEvent::kNotification);
  notify.result = static_cast<std::int32_t>(0x80004005);
  TraceRecord wake = At(8, TraceEvent::kWake);
  wake.result = -1;  // the failed wait, 0xFFFFFFFF
  TraceRecord start = At(9, TraceEvent::kFirmwareStart);
  start.wlanState = kReduced;
  TraceRecord removed = At(11, TraceEvent::kRadioOff);
  removed.cause = RadioOffCause::kRemoved;
  TraceRecord exit = At(13, TraceEvent::kExit);
  exit.result = 1;
  TraceRecord started = At(14, TraceEvent::kMonitoring);
  started.started = true;
  TraceRecord transmitsAtStart = At(15, TraceEvent::kStateAtStart);
  transmitsAtStart.answer = true;
  TraceRecord stateRefused = At(15, TraceEvent::kStateAtStart);
  stateRefused.result = static_cast<std::int32_t>(0x80010108);
  TraceRecord foundOff = At(16, TraceEvent::kRadioCheck);
  foundOff.answer = false;
  TraceRecord checkFailed = At(16, TraceEvent::kRadioCheck);
  checkFailed.result = static_cast<std::int32_t>(0x8007048F);

  const std::pair<TraceRecord, std::string> cases[] = {
      {run, R"({"t_sim_us":3,"t_wall_us":1,"event":"run","speed":0.25,"version":2,"build":{"version":"1.0.0",)"
            R"("commit":"-"},"scenario":{"embedded":true,"sha256":"-"}})"},
      {tx, R"({"t_sim_us":300123,"t_wall_us":60024,"event":"tx","transmitting":true,"scenario_ms":300})"},
      {notify, R"({"t_sim_us":7,"t_wall_us":0,"event":"notify","transmitting":false,"result":"0x80004005"})"},
      {wake, R"({"t_sim_us":8,"t_wall_us":0,"event":"wake","result":"0xFFFFFFFF"})"},
      {start, R"({"t_sim_us":9,"t_wall_us":0,"event":"firmware_start","wlan_state":2})"},
      {FirmwareEnd(10, std::nullopt, kFailed),
       R"({"t_sim_us":10,"t_wall_us":0,"event":"firmware_end","wlan_state":null,"result":"0x80041008"})"},
      {removed, R"({"t_sim_us":11,"t_wall_us":0,"event":"radio_off","cause":"removed"})"},
      {At(12, TraceEvent::kRadioOff), R"({"t_sim_us":12,"t_wall_us":0,"event":"radio_off","cause":"status"})"},
      {At(12, TraceEvent::kRadioOn), R"({"t_sim_us":12,"t_wall_us":0,"event":"radio_on"})"},
      {exit, R"({"t_sim_us":13,"t_wall_us":0,"event":"exit","code":1})"},
      {started, R"({"t_sim_us":14,"t_wall_us":0,"event":"monitoring","started":true})"},
      {At(14, TraceEvent::kMonitoring), R"({"t_sim_us":14,"t_wall_us":0,"event":"monitoring","started":false})"},
      {transmitsAtStart,
       R"({"t_sim_us":15,"t_wall_us":0,"event":"state_at_start","transmitting":true,"result":"0x00000000"})"},
      {stateRefused, R"({"t_sim_us":15,"t_wall_us":0,"event":"state_at_start","transmitting":null,"result":"0x80010108"})"},
      {foundOff, R"({"t_sim_us":16,"t_wall_us":0,"event":"radio_check","on":false,"result":"0x00000000"})"},
      {checkFailed, R"({"t_sim_us":16,"t_wall_us":0,"event":"radio_check","on":null,"result":"0x8007048F"})"},
  };
  for (const auto& [record, line] : cases) EXPECT_EQ(TraceLine(record), line);
}

class TraceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("korvi-trace-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(TraceFileTest, AnUnusablePathNamesTheVariableAndThePath) {
  const std::string path = (dir_ / "missing" / "run.trace").string();
  try {
    TraceFile::Open(path);
    FAIL() << "opened " << path;
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "KORVI_SIM_TRACE: cannot open \"" + path + "\": No such file or directory");
  }
}

TEST_F(TraceFileTest, RecordsFromTwoThreadsAreAllWrittenInStampOrder) {
  constexpr int kPerThread = 400;
  const std::string path = (dir_ / "run.trace").string();
  {
    Scheduler clock;
    TraceLog trace(clock, TraceFile::Open(path));
    std::thread platform([&] {
      for (int i = 0; i < kPerThread; ++i) trace.Notification(i % 2 == 0, 0);
    });
    for (int i = 0; i < kPerThread; ++i) trace.Wake(0);
    platform.join();
    std::ostringstream summary;
    trace.WriteSummary(summary);
    EXPECT_NE(summary.str().find("notifications 400, wake-ups 400,"), std::string::npos) << summary.str();
    EXPECT_EQ(summary.str().find("incomplete"), std::string::npos);
  }
  std::ifstream file(path);
  std::string line;
  int lines = 0;
  std::int64_t lastSim = -1;
  std::int64_t lastWall = -1;
  while (std::getline(file, line)) {
    ++lines;
    ASSERT_EQ(line.rfind("{\"t_sim_us\":", 0), 0u) << line;
    const std::int64_t sim = std::stoll(line.substr(12));
    const std::int64_t wall = std::stoll(line.substr(line.find("\"t_wall_us\":") + 12));
    EXPECT_GE(sim, lastSim) << line;
    EXPECT_GE(wall, lastWall) << line;
    lastSim = sim;
    lastWall = wall;
  }
  EXPECT_EQ(lines, 2 * kPerThread);
}

// Models put together without a notebook report to this one from both threads at once. Nothing
// is recorded to check: only ThreadSanitizer, finding a race, fails this.
TEST(NothingRecorded, ReportsFromTwoThreadsAtOnceRaceNone) {
  std::thread other([] { Recorder::Nothing().Notification(true, 0); });
  Recorder::Nothing().Wake(0);
  other.join();
}

}  // namespace
}  // namespace korvi::sim
