// The trace records made from the child's messages: a request's state coming after its end,
// a notification inside the wait for it, a state the firmware's inputs did not carry, requests
// that never reached ExecMethod or were cut short, radio off seen on both channels, and the
// cause of a radio off that the debug channel says before it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_record.h"
#include "os/build_id.h"
#include "trace_builder.h"

namespace korvi::capture {
namespace {

// One input: a console message, or a debug message ('D' radio off, 'F' the radio read's caught
// error, 'H' the handler's, 'L' another of the loop's), or the exit ('E').
struct Input {
  char what;  // N r s(InECX put) X T 2 1 O M (console), D F H L (debug), E (exit)
  std::int64_t us;
  std::uint32_t value = 0;  // s, X: the result; E: the exit code
};

std::vector<std::string> Build(const std::vector<Input>& inputs, DebugChannel debug) {
  TraceBuilder builder(debug);
  std::vector<std::string> lines;
  auto take = [&] {
    for (const Record& record : builder.TakeReady()) lines.push_back(TraceLine(record));
  };
  for (const Input& in : inputs) {
    auto console = [&](ConsoleKind kind) { builder.OnConsole(ConsoleMessage{kind, in.us, in.value}); };
    switch (in.what) {
      case 'N': console(ConsoleKind::kNotification); break;
      case 'r': console(ConsoleKind::kRequestReport); break;
      case 's': console(ConsoleKind::kStatePut); break;
      case 'X': console(ConsoleKind::kExecMethod); break;
      case 'T': console(ConsoleKind::kRequestEnd); break;
      case '2': console(ConsoleKind::kReduceAsked); break;
      case '1': console(ConsoleKind::kNormalAsked); break;
      case 'O': console(ConsoleKind::kRadioOff); break;
      case 'M': console(ConsoleKind::kOutOfMemory); break;
      case 'D': builder.OnDebug(kRadioOffDebugMessage, in.us); break;
      case 'F': builder.OnDebug("0x80070005 - Access is denied.", in.us); break;
      case 'H':
        builder.OnDebug("[MS_SAR] Korvi::OnTransmissionStateChanged could not read IsTransmitting (0x80004005): "
                        "taking the modem as transmitting",
                        in.us);
        break;
      case 'L': builder.OnDebug("[MS_SAR] SetWLANTxState_WLANREDUCE()", in.us); break;
      case 'E': builder.OnExit(in.value, in.us); break;
      default: ADD_FAILURE() << "no such input " << in.what;
    }
    take();
  }
  return lines;
}

const std::string kRun = R"({"t_sim_us":0,"event":"run","source":"capture","version":2,"build":)" + build::Json() + "}";

struct BuildCase {
  const char* name;
  std::vector<Input> inputs;
  std::vector<std::string> lines;  // after the run record
  DebugChannel debug = DebugChannel::kNotTaken;
};

class TraceBuilderTest : public testing::TestWithParam<BuildCase> {};

TEST_P(TraceBuilderTest, Records) {
  std::vector<std::string> expected = {kRun};
  for (const std::string& line : GetParam().lines) expected.push_back(line);
  EXPECT_EQ(Build(GetParam().inputs, GetParam().debug), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TraceBuilderTest,
    testing::Values(
        BuildCase{"reduce_request",
                  {{'N', 10}, {'r', 20}, {'s', 21}, {'X', 30, 0}, {'T', 40}, {'2', 50}, {'E', 60, 0}},
                  {R"({"t_sim_us":10,"event":"notify"})", R"({"t_sim_us":20,"event":"firmware_start","wlan_state":2})",
                   R"({"t_sim_us":40,"event":"firmware_end","wlan_state":2,"result":"0x00000000"})",
                   R"({"t_sim_us":60,"event":"exit","code":0})"}},
        // The handler's line between the call's end and the loop's report keeps its place.
        BuildCase{"notification_before_the_state_shows",
                  {{'r', 1}, {'s', 2}, {'X', 2, 0x80041001}, {'T', 3}, {'N', 4}, {'1', 5}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":1})",
                   R"({"t_sim_us":3,"event":"firmware_end","wlan_state":1,"result":"0x80041001"})",
                   R"({"t_sim_us":4,"event":"notify"})"}},
        BuildCase{"state_not_carried_to_the_firmware",
                  {{'r', 1}, {'s', 2, 0x80041005}, {'X', 3, 0x8004102f}, {'T', 4}, {'2', 5}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":4,"event":"firmware_end","wlan_state":null,"result":"0x8004102F"})"}},
        BuildCase{"request_that_never_reached_exec_method",
                  {{'r', 1}, {'s', 2}, {'T', 2}, {'1', 3}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":1})",
                   R"({"t_sim_us":2,"event":"firmware_end","wlan_state":1,"result":null})"}},
        // A step before the Puts failed: the firmware's inputs carry no state.
        BuildCase{"state_never_put", {{'r', 1}, {'X', 2, 0x80041008}, {'T', 3}, {'2', 4}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":3,"event":"firmware_end","wlan_state":null,"result":"0x80041008"})"}},
        BuildCase{"request_cut_short_by_out_of_memory",
                  {{'N', 1}, {'r', 2}, {'M', 3}, {'E', 4, 1}},
                  {R"({"t_sim_us":1,"event":"notify"})", R"({"t_sim_us":2,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":3,"event":"firmware_end","wlan_state":null,"result":null})",
                   R"({"t_sim_us":4,"event":"exit","code":1})"}},
        BuildCase{"child_ends_inside_a_request",
                  {{'r', 1}, {'X', 2, 0}, {'E', 9, 3221225477u}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":9,"event":"firmware_end","wlan_state":null,"result":"0x00000000"})",
                   R"({"t_sim_us":9,"event":"exit","code":3221225477})"}},
        BuildCase{"child_ends_before_the_state_shows",
                  {{'r', 1}, {'T', 2}, {'E', 3, 0}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":2,"event":"firmware_end","wlan_state":null,"result":null})",
                   R"({"t_sim_us":3,"event":"exit","code":0})"}},
        BuildCase{"new_request_before_the_state_of_the_last",
                  {{'r', 1}, {'T', 2}, {'r', 3}, {'s', 3}, {'T', 4}, {'1', 5}},
                  {R"({"t_sim_us":1,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":2,"event":"firmware_end","wlan_state":null,"result":null})",
                   R"({"t_sim_us":3,"event":"firmware_start","wlan_state":1})",
                   R"({"t_sim_us":4,"event":"firmware_end","wlan_state":1,"result":null})"}},
        // Debug first, console second: one radio off, at the first of the two.
        BuildCase{"radio_off_on_both_channels",
                  {{'D', 5}, {'O', 6}, {'r', 7}, {'s', 7}, {'T', 8}, {'1', 9}},
                  {R"({"t_sim_us":5,"event":"radio_off"})", R"({"t_sim_us":7,"event":"firmware_start","wlan_state":1})",
                   R"({"t_sim_us":8,"event":"firmware_end","wlan_state":1,"result":null})"}},
        BuildCase{"radio_off_on_the_console_alone", {{'O', 6}}, {R"({"t_sim_us":6,"event":"radio_off"})"}},
        // The radio read's caught error just before the loop's report: the read failed.
        BuildCase{"radio_read_failed",
                  {{'L', 1}, {'F', 4}, {'D', 5}, {'O', 6}},
                  {R"({"t_sim_us":5,"event":"radio_off","cause":"read_failed"})"}},
        BuildCase{"radio_read_failed_with_the_handlers_message_between",
                  {{'F', 4}, {'H', 4}, {'D', 5}, {'O', 6}},
                  {R"({"t_sim_us":5,"event":"radio_off","cause":"read_failed"})"}},
        // An error the loop reported before its last message is no part of the radio read.
        BuildCase{"caught_error_before_another_loop_message",
                  {{'F', 3}, {'L', 4}, {'D', 5}, {'O', 6}},
                  {R"({"t_sim_us":5,"event":"radio_off"})"}},
        // The console's report first: it and what follows wait for the debug channel's cause.
        BuildCase{"radio_read_failed_said_after_the_console",
                  {{'O', 5}, {'r', 6}, {'s', 6}, {'X', 7, 0}, {'T', 8}, {'1', 9}, {'F', 10}, {'D', 11}, {'E', 12, 0}},
                  {R"({"t_sim_us":5,"event":"radio_off","cause":"read_failed"})",
                   R"({"t_sim_us":6,"event":"firmware_start","wlan_state":1})",
                   R"({"t_sim_us":8,"event":"firmware_end","wlan_state":1,"result":"0x00000000"})",
                   R"({"t_sim_us":12,"event":"exit","code":0})"},
                  DebugChannel::kTaken},
        BuildCase{"radio_found_off_said_after_the_console",
                  {{'O', 5}, {'L', 6}, {'D', 7}},
                  {R"({"t_sim_us":5,"event":"radio_off"})"},
                  DebugChannel::kTaken},
        // A debug channel that never says: the record goes out plain at the child's end.
        BuildCase{"radio_off_whose_debug_report_never_comes",
                  {{'O', 5}, {'r', 6}, {'T', 7}, {'1', 8}, {'E', 9, 0}},
                  {R"({"t_sim_us":5,"event":"radio_off"})",
                   R"({"t_sim_us":6,"event":"firmware_start","wlan_state":null})",
                   R"({"t_sim_us":7,"event":"firmware_end","wlan_state":null,"result":null})",
                   R"({"t_sim_us":9,"event":"exit","code":0})"},
                  DebugChannel::kTaken},
        BuildCase{"state_report_with_no_request", {{'2', 1}, {'N', 2}}, {R"({"t_sim_us":2,"event":"notify"})"}}),
    [](const testing::TestParamInfo<BuildCase>& info) { return std::string(info.param.name); });

// While a request waits for its state nothing goes out, so a trace cut there never shows a
// request without its state.
TEST(TraceBuilderHoldTest, RecordsWaitForTheRequestsState) {
  TraceBuilder builder;
  EXPECT_EQ(builder.TakeReady().size(), 1u);  // the run record
  builder.OnConsole(ConsoleMessage{ConsoleKind::kRequestReport, 1});
  builder.OnConsole(ConsoleMessage{ConsoleKind::kRequestEnd, 2});
  builder.OnConsole(ConsoleMessage{ConsoleKind::kNotification, 3});
  EXPECT_TRUE(builder.TakeReady().empty());
  builder.OnConsole(ConsoleMessage{ConsoleKind::kReduceAsked, 4});
  EXPECT_EQ(builder.TakeReady().size(), 3u);
}

// A radio off from the console waits for its cause, and so does everything after it; what
// came before it is out at once.
TEST(TraceBuilderHoldTest, RadioOffWaitsForTheDebugChannelsCause) {
  TraceBuilder builder(DebugChannel::kTaken);
  builder.OnConsole(ConsoleMessage{ConsoleKind::kNotification, 1});
  builder.OnConsole(ConsoleMessage{ConsoleKind::kRadioOff, 2});
  builder.OnConsole(ConsoleMessage{ConsoleKind::kNotification, 3});
  EXPECT_EQ(builder.TakeReady().size(), 2u);  // the run record and the first notification
  EXPECT_TRUE(builder.TakeReady().empty());
  builder.OnDebug("0x8007048f - The device is not connected.", 4);
  EXPECT_TRUE(builder.TakeReady().empty());
  builder.OnDebug(kRadioOffDebugMessage, 5);
  const std::vector<Record> out = builder.TakeReady();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(TraceLine(out[0]), R"({"t_sim_us":2,"event":"radio_off","cause":"read_failed"})");
  EXPECT_EQ(TraceLine(out[1]), R"({"t_sim_us":3,"event":"notify"})");
}

}  // namespace
}  // namespace korvi::capture
