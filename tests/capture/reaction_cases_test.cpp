// The summary's figures for the shared table of small capture traces (reaction_cases.json).
// The timeline's test reads the same table, so the capture's summary and the timeline's
// picture of a capture cannot drift apart on which request answers which notification.
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
      for (const Json& line : c.at("trace")) {
        const Record record = RecordOf(line);
        // Each hand-written line must be one the capture itself writes, byte for byte, but for
        // the commit of the build, which the table gives as "-".
        EXPECT_EQ(std::regex_replace(TraceLine(record), std::regex(R"("commit":"[^"]*")"), R"("commit":"-")"),
                  line.dump());
        summary.Add(record);
      }
      const Json& figures = c.at("figures");
      const Reaction reaction = summary.reaction();
      EXPECT_EQ(reaction.measured, figures.at("measured").get<std::size_t>());
      EXPECT_EQ(reaction.medianUs, figures.at("median_us").is_null() ? 0 : figures["median_us"].get<std::int64_t>());
      EXPECT_EQ(reaction.maxUs, figures.at("max_us").is_null() ? 0 : figures["max_us"].get<std::int64_t>());
      EXPECT_EQ(summary.unanswered(), figures.at("unanswered").get<std::size_t>());
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
