// The summary's figures from small traces: which request answers which notification, what
// counts as failed, the median of an odd and an even count, and the text it prints.
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

struct SummaryCase {
  const char* name;
  std::vector<Record> records;
  std::size_t notifications, requests, failed, unanswered, measured;
  std::int64_t medianUs, maxUs;
};

class CaptureSummaryTest : public testing::TestWithParam<SummaryCase> {};

TEST_P(CaptureSummaryTest, Figures) {
  const SummaryCase& c = GetParam();
  CaptureSummary summary;
  for (const Record& r : c.records) summary.Add(r);
  EXPECT_EQ(summary.notifications(), c.notifications);
  EXPECT_EQ(summary.requests(), c.requests);
  EXPECT_EQ(summary.failedRequests(), c.failed);
  EXPECT_EQ(summary.unanswered(), c.unanswered);
  const Reaction reaction = summary.reaction();
  EXPECT_EQ(reaction.measured, c.measured);
  EXPECT_EQ(reaction.medianUs, c.medianUs);
  EXPECT_EQ(reaction.maxUs, c.maxUs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureSummaryTest,
    testing::Values(
        SummaryCase{"nothing", {}, 0, 0, 0, 0, 0, 0, 0},
        // A request with no notification before it (radio off at start) answers nobody.
        SummaryCase{"no_notification", {Start(10), End(20)}, 0, 1, 0, 0, 0, 0, 0},
        SummaryCase{"notification_with_no_request_after_it", {Start(1), End(2), Notify(5)}, 1, 1, 0, 1, 0, 0, 0},
        SummaryCase{"one_notification_one_request", {Notify(100), Start(150), End(1100)}, 1, 1, 0, 0, 1, 1000, 1000},
        SummaryCase{"two_notifications_before_one_request",
                    {Notify(100), Notify(300), Start(400), End(500)}, 2, 1, 0, 0, 2, 300, 400},
        // The loop read the state before this notification: the next request answers it.
        SummaryCase{"notification_during_a_request",
                    {Notify(0), Start(10), Notify(20), End(30), Start(40), End(70)}, 2, 2, 0, 0, 2, 40, 50},
        // No line before the request: the first line inside it is its own wake-up's, late;
        // a second one inside it is a new change, for the next request.
        SummaryCase{"line_after_the_request_it_woke",
                    {Start(10), Notify(12), Notify(15), End(30), Start(40), End(70)}, 2, 2, 0, 0, 2, 36, 55},
        // The request at radio off follows no wake-up: a line inside it is a new change.
        SummaryCase{"line_during_the_request_at_radio_off",
                    {Record(RecordKind::kRadioOff, 5), Start(10), Notify(12), End(30)}, 1, 1, 0, 1, 0, 0, 0},
        SummaryCase{"failed_requests",
                    {Notify(0), Start(1), End(5, std::nullopt), Notify(10), Start(11), End(20, 0x80041001u), Start(30), End(31)},
                    2, 3, 2, 0, 2, 7, 10},
        SummaryCase{"odd_count_median",
                    {Notify(0), Start(0), End(3), Notify(10), Start(10), End(19), Notify(20), Start(20), End(25)},
                    3, 3, 0, 0, 3, 5, 9}),
    [](const testing::TestParamInfo<SummaryCase>& info) { return std::string(info.param.name); });

TEST(CaptureSummaryTextTest, SaysEveryFigure) {
  CaptureSummary summary;
  for (const Record& r : {Notify(0), Start(5), End(1234), Notify(2000), Record{RecordKind::kRadioOff, 3000}}) summary.Add(r);
  Record exit{RecordKind::kExit, 4000};
  exit.exitCode = 0;
  summary.Add(exit);
  EXPECT_EQ(summary.Text(),
            "korvi-capture: notifications 2, firmware requests 1 (failed 0), radio off 1, exit code 0\n"
            "korvi-capture: reaction (notification to the end of the request after it): 1 measured, "
            "median 1.234 ms, max 1.234 ms; notifications with no request after them 1\n");
  EXPECT_EQ(CaptureSummary().Text(),
            "korvi-capture: notifications 0, firmware requests 0 (failed 0), radio off 0, exit code unknown\n"
            "korvi-capture: reaction (notification to the end of the request after it): 0 measured, "
            "median -, max -; notifications with no request after them 0\n");
}

}  // namespace
}  // namespace korvi::capture
