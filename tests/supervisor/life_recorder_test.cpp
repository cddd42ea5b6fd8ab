// One life as the field log records it, read back as JSON: the start first, every console
// line with its stamp, the capture's trace records of the same console, the gaps, and the end
// with the decision last. Also the texts and times the records carry.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "life_recorder.h"

namespace korvi::supervisor {
namespace {

using nlohmann::json;

std::string Expected(const std::string& name) {
  std::ifstream in(std::string(KORVI_EXPECTED_DIR) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(LifeRecorderTest, ARadioOffLifeReadsBackWhole) {
  const std::string console = Expected("radio_off_at_start.stdout");
  ASSERT_FALSE(console.empty());
  std::vector<json> records;
  {
    LifeRecorder life(2, 1'765'000'000'000, "C:\\Korvi\\korvi-sar.exe",
                      [&](const std::string& line) { records.push_back(json::parse(line)); });
    // In chunks of 7 bytes, so CR LF pairs and messages fall across chunk boundaries.
    const std::string bytes = WithCrLf(console);
    std::int64_t us = 100;
    for (std::size_t at = 0; at < bytes.size(); at += 7, us += 10) life.OnConsole(bytes.substr(at, 7), us);
    life.OnDropped(Gap{2, 8192}, us);
    life.OnEnd(LifeEnd{2, 1'765'000'001'500, 0, milliseconds(1500), ExitMeaning::kOffOrNoModem, milliseconds(2000), true},
               us + 5);
  }
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records.front()["log"], "start");
  EXPECT_EQ(records.front()["life"], 2);
  EXPECT_EQ(records.front()["wall"], "2025-12-06T05:46:40.000Z");
  EXPECT_EQ(records.front()["program"], "C:\\Korvi\\korvi-sar.exe");

  std::string lines;
  std::vector<std::string> events;
  std::int64_t lastUs = 0;
  bool dropped = false;
  for (const json& record : records) {
    EXPECT_EQ(record.value("life", 0), 2);
    if (record["log"] == "console") {
      lines += record["text"].get<std::string>() + (record.value("cut", false) ? "" : "\n");
      EXPECT_GE(record["t_us"].get<std::int64_t>(), lastUs);
      lastUs = record["t_us"];
    } else if (record["log"] == "trace") {
      events.push_back(record["record"]["event"]);
    } else if (record["log"] == "dropped") {
      dropped = true;
      EXPECT_EQ(record["chunks"], 2);
      EXPECT_EQ(record["bytes"], 8192);
    }
  }
  EXPECT_EQ(lines, console) << "every console line, CR LF folded, in order";
  EXPECT_TRUE(dropped);
  const std::vector<std::string> expectedEvents = {"run", "radio_off", "firmware_start", "firmware_end", "exit", "figures"};
  EXPECT_EQ(events, expectedEvents);

  const json& end = records.back();
  EXPECT_EQ(end["log"], "end");
  EXPECT_EQ(end["exit_code"], 0);
  EXPECT_EQ(end["meaning"], "off-or-no-modem");
  EXPECT_EQ(end["lasted_ms"], 1500);
  EXPECT_EQ(end["delay_ms"], 2000);
  EXPECT_EQ(end["restarts"], true);
}

TEST(LifeRecorderTest, AProgramThatNeverStartedEndsWithNulls) {
  std::vector<json> records;
  {
    LifeRecorder life(1, 0, "missing.exe", [&](const std::string& line) { records.push_back(json::parse(line)); });
    life.OnEnd(LifeEnd{1, 0, std::nullopt, milliseconds(0), ExitMeaning::kCannotStart, milliseconds(4000), false}, 0);
  }
  EXPECT_EQ(records.back()["log"], "end");
  EXPECT_TRUE(records.back()["exit_code"].is_null());
  EXPECT_EQ(records.back()["restarts"], false);
  EXPECT_EQ(records.back()["meaning"], "cannot-start");
}

TEST(LogRecordsTest, TextsAndTimes) {
  struct TextCase {
    std::string text, json;
  };
  const TextCase texts[] = {
      {"plain", "\"plain\""},
      {"a \"quote\" and \\", "\"a \\\"quote\\\" and \\\\\""},
      {std::string("tab\tnul\0", 8), "\"tab\\u0009nul\\u0000\""},
      {"caf\xE9", "\"caf\\u00E9\""},  // a byte of the code page, read as Latin-1
  };
  for (const TextCase& c : texts) {
    EXPECT_EQ(JsonText(c.text), c.json);
    EXPECT_EQ(json::parse(JsonText(c.text)).get<std::string>(), c.text.find('\xE9') == std::string::npos ? c.text : "caf\u00E9");
  }
  struct TimeCase {
    std::int64_t ms;
    const char* iso;
  };
  const TimeCase times[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {951'782'400'000, "2000-02-29T00:00:00.000Z"},  // a leap day of a century's leap year
      {1'796'235'833'123, "2026-12-02T18:23:53.123Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
  };
  for (const TimeCase& c : times) EXPECT_EQ(IsoTime(c.ms), c.iso) << c.ms;
}

}  // namespace
}  // namespace korvi::supervisor
