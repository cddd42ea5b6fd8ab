// The text the summary prints. Which request answers which notification, what counts as
// failed and the median are in the table that the timeline's test shares
// (reaction_cases.json, reaction_cases_test.cpp).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "capture_summary.h"

namespace korvi::capture {
namespace {

Record Notify(std::int64_t us) { return Record{RecordKind::kNotify, us}; }
Record Start(std::int64_t us) { return Record{RecordKind::kFirmwareStart, us, kWlanReduce}; }
Record End(std::int64_t us, std::optional<std::uint32_t> result = 0u) {
  Record r{RecordKind::kFirmwareEnd, us, kWlanReduce};
  r.result = result;
  return r;
}

// Three requests: one completed, one that ExecMethod failed, one that stopped before it. The
// firmware calls are the two that reached it, as the simulated notebook counts them.
TEST(CaptureSummaryTextTest, SaysEveryFigure) {
  CaptureSummary summary;
  Record readFailed{RecordKind::kRadioOff, 3500};
  readFailed.radioReadFailed = true;
  for (const Record& r : {Notify(0), Start(5), End(1234), Start(1300), End(1400, 0x80041008u), Start(1500),
                          End(1600, std::nullopt), Notify(2000), Record{RecordKind::kRadioOff, 3000}, readFailed})
    summary.Add(r);
  Record exit{RecordKind::kExit, 4000};
  exit.exitCode = 0;
  summary.Add(exit);
  EXPECT_EQ(summary.Text(),
            "korvi-capture: notifications 2, WLAN requests 3 (1 stopped before the firmware), firmware calls 2 "
            "(failed 1, completed 1), radio off 2 (found off 1, read failed 1), exit code 0\n"
            "korvi-capture: reaction (notification to the end of the request after it): 1 measured, "
            "median 1.234 ms, max 1.234 ms; notifications with no request after them 1\n");
  EXPECT_EQ(CaptureSummary().Text(),
            "korvi-capture: notifications 0, WLAN requests 0 (0 stopped before the firmware), firmware calls 0 "
            "(failed 0, completed 0), radio off 0 (found off 0, read failed 0), exit code unknown\n"
            "korvi-capture: reaction (notification to the end of the request after it): 0 measured, "
            "median -, max -; notifications with no request after them 0\n");
}

}  // namespace
}  // namespace korvi::capture
