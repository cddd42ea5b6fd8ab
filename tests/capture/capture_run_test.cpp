// A capture that must stop before the child ends (its console closing, logoff, shutdown): what
// the builder held goes out with the summary's counts, the figures record last, and nothing is
// added after the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_run.h"
#include "os/build_id.h"

namespace korvi::capture {
namespace {

// A request whose firmware call hangs: its first reports have come, its end never does.
constexpr char kHangingRequest[] =
    "\r\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).CoInitialize returned 0x80010106:\r\n"
    "[-] Err: CoInitializeConnectServer returned 0x0:\r\n";

struct Captured {
  std::vector<std::string> lines;
  CaptureRun run{[this](const std::string& line) { lines.push_back(line); }};
};

TEST(CaptureRunAbandonTest, HeldRecordsAndTheirCountsGoOut) {
  Captured capture;
  capture.run.OnConsole(kHangingRequest, 10);
  ASSERT_EQ(capture.lines.size(), 2u);  // run and notify; the request is held
  capture.run.OnAbandon(50);
  EXPECT_EQ(capture.lines, (std::vector<std::string>{
                               R"({"t_sim_us":0,"event":"run","source":"capture","version":2,"build":)" + build::Json() + "}",
                               R"({"t_sim_us":10,"event":"notify"})",
                               R"({"t_sim_us":10,"event":"firmware_start","wlan_state":null})",
                               R"({"t_sim_us":50,"event":"firmware_end","wlan_state":null,"result":null})",
                               R"({"t_sim_us":50,"event":"figures","notifications":1,"wlan_requests":1,)"
                               R"("stopped_before_firmware":1,"firmware_calls":0,"failed":0,"completed":0,"radio_off":0,)"
                               R"("found_off":0,"read_failed":0,"exit_code":null,"reaction_measured":1,)"
                               R"("reaction_median_us":40,"reaction_max_us":40,"unanswered":0})"}));
  EXPECT_EQ(capture.run.summary().requests(), 1u);
  EXPECT_EQ(capture.run.summary().failedRequests(), 1u);
  EXPECT_FALSE(capture.run.summary().exitCode());
  EXPECT_TRUE(capture.run.over());
}

// Whichever end comes first is the only one: input that comes after it (the child's last
// output, its exit seen by the other thread) adds neither records nor counts.
TEST(CaptureRunAbandonTest, NothingIsAddedAfterTheEnd) {
  struct Case {
    const char* name;
    bool exitFirst;
  };
  for (const Case& c : {Case{"abandoned", false}, Case{"exited", true}}) {
    Captured capture;
    capture.run.OnConsole(kHangingRequest, 10);
    if (c.exitFirst) {
      capture.run.OnExit(0, 40);
    } else {
      capture.run.OnAbandon(40);
    }
    const std::vector<std::string> atEnd = capture.lines;
    const std::string summaryAtEnd = capture.run.summary().Text();
    capture.run.OnConsole("Terminating normally\r\n\r\nSetWLANTxState_WLANREDUCE()", 60);
    capture.run.OnDebug("[MS_SAR]  Korvi::GetRadioState()  Off", 70);
    capture.run.OnAbandon(80);
    capture.run.OnExit(1, 90);
    EXPECT_EQ(capture.lines, atEnd) << c.name;
    EXPECT_EQ(capture.run.summary().Text(), summaryAtEnd) << c.name;
  }
}

}  // namespace
}  // namespace korvi::capture
