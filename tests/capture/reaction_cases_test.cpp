// The summary's figures for the shared table of small capture traces (reaction_cases.json):
// its stderr lines and the figures record that ends its trace. The timeline's test reads the
// same table and checks that the picture states that record, so the rule of which request
// answers which notification is written once, here in the capture.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "capture_summary.h"

namespace korvi::capture {
namespace {

using Json = nlohmann::ordered_json;

RecordKind KindOf(const std::string& event) {
  if (event == "run") return RecordKind::kRun;
  if (event == "notify") return RecordKind::kNotify;
  if (event == "firmware_start") return RecordKind::kFirmwareStart;
  if (event == "firmware_end") return RecordKind::kFirmwareEnd;
  if (event == "radio_off") return RecordKind::kRadioOff;
  if (event == "exit") return RecordKind::kExit;
  throw std::invalid_argument("unknown event \"" + event + "\"");
}

// The record a trace line stands for; the fields a record lacks keep their defaults.
Record RecordOf(const Json& line) {
  Record record(KindOf(line.at("event").get<std::string>()), line.at("t_sim_us").get<std::int64_t>());
  if (line.contains("wlan_state") && !line["wlan_state"].is_null()) record.wlanState = line["wlan_state"].get<int>();
  if (line.contains("result") && !line["result"].is_null()) {
    record.result = static_cast<std::uint32_t>(std::stoul(line["result"].get<std::string>(), nullptr, 16));
  }
  if (line.contains("code")) record.exitCode = line["code"].get<std::uint32_t>();
  record.radioReadFailed = line.value("cause", std::string()) == "read_failed";
  return record;
}

Json ReadCases() {
  std::ifstream file(KORVI_REACTION_CASES);
  if (!file) throw std::runtime_error(std::string("cannot read ") + KORVI_REACTION_CASES);
  return Json::parse(file).at("cases");
}

TEST(ReactionCasesTest, SummaryGivesTheTablesFigures) {
  Json cases;
  ASSERT_NO_THROW(cases = ReadCases());
  ASSERT_GT(cases.size(), 10u);
  for (const Json& c : cases) {
    const std::string name = c.value("name", std::string("(unnamed)"));
    SCOPED_TRACE(name);
    try {
      CaptureSummary summary;
      const Json& trace = c.at("trace");
      ASSERT_FALSE(trace.empty());
      const Json& figures = trace.back();
      ASSERT_EQ(figures.at("event"), "figures") << "the trace ends with its figures record";
      for (std::size_t i = 0; i + 1 < trace.size(); ++i) {
        const Record record = RecordOf(trace[i]);
        // Each hand-written line must be one the capture itself writes, byte for byte, but for
        // the commit of the build, which the table gives as "-".
        EXPECT_EQ(std::regex_replace(TraceLine(record), std::regex(R"("commit":"[^"]*")"), R"("commit":"-")"),
                  trace[i].dump());
        summary.Add(record);
      }
      EXPECT_EQ(summary.FiguresLine(figures.at("t_sim_us").get<std::int64_t>()), figures.dump());
      const Json& lines = c.at("summary");
      EXPECT_EQ(summary.Text(), "korvi-capture: " + lines.at(0).get<std::string>() + "\n" + "korvi-capture: " +
                                    lines.at(1).get<std::string>() + "\n");
    } catch (const std::exception& error) {
      ADD_FAILURE() << "case " << name << " is not readable: " << error.what();
    }
  }
}

}  // namespace
}  // namespace korvi::capture
