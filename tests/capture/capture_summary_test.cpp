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

TEST(CaptureSummaryTextTest, SaysEveryFigure) {
  CaptureSummary summary;
  Record readFailed{RecordKind::kRadioOff, 3500};
  readFailed.radioReadFailed = true;
  for (const Record& r : {Notify(0), Start(5), End(1234), Notify(2000), Record{RecordKind::kRadioOff, 3000}, readFailed})
    summary.Add(r);
  Record exit{RecordKind::kExit, 4000};
  exit.exitCode = 0;
  summary.Add(exit);
  EXPECT_EQ(summary.Text(),
            "korvi-capture: notifications 2, firmware requests 1 (failed 0), radio off 2 (found off 1, read failed 1), "
            "exit code 0\n"
            "korvi-capture: reaction (notification to the end of the request after it): 1 measured, "
            "median 1.234 ms, max 1.234 ms; notifications with no request after them 1\n");
  EXPECT_EQ(CaptureSummary().Text(),
            "korvi-capture: notifications 0, firmware requests 0 (failed 0), radio off 0 (found off 0, read failed 0), "
            "exit code unknown\n"
            "korvi-capture: reaction (notification to the end of the request after it): 0 measured, "
            "median -, max -; notifications with no request after them 0\n");
}

}  // namespace
}  // namespace korvi::capture
