// Scenario files: every key's wrong type and range is an error naming the key, a typo never
// becomes a default, and the values that are accepted arrive exactly as written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "default_scenario.h"
#include "platform/sim/scenario/scenario.h"
#include "platform/sim/scenario/scenario_file.h"
#include "platform/sim/scenario/scenario_source.h"
#include "platform/sim/scenario/sha256.h"

namespace korvi::sim {
namespace {

std::string ErrorOf(const std::string& json) {
  try {
    ParseScenario(json, "s.json");
  } catch (const ScenarioError& error) {
    return error.what();
  }
  return "(accepted)";
}

struct BadCase {
  std::string json;
  std::string error;
};

void ExpectErrors(const std::vector<BadCase>& cases) {
  for (const BadCase& bad : cases) {
    SCOPED_TRACE(bad.json);
    const std::string error = ErrorOf(bad.json);
    EXPECT_EQ(error, bad.error);
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

constexpr const char* kTopKeys = "unknown key; expected one of speed, modem, firmware, faults, timeline, another_instance";
constexpr const char* kHresultForm = "expected \"0x\" and 1 to 8 hex digits, or an integer, got ";
constexpr const char* kNoEffect =
    "has no effect; expected transmitting, notify, device_status, sim_icc_id or modem besides at_ms";

TEST(ScenarioErrors, DocumentAndTopLevel) {
  ExpectErrors({
      {"{", "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 1, column 2: syntax "
            "error while parsing object key - unexpected end of input; expected string literal"},
      {"", "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 1, column 1: syntax "
           "error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"{\n\"speed\": 1,\n}", "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 3, "
                              "column 1: syntax error while parsing object key - unexpected '}'; expected string "
                              "literal"},
      {"{} {}", "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 1, column 4: syntax "
                "error while parsing value - unexpected '{'; expected end of input"},
      // Ill-formed UTF-8 and a number beyond double are the parser's to reject; the byte that
      // is not UTF-8 is shown escaped, never raw.
      {"{\"modem\": {\"sim_icc_id\": \"\xff\"}}",
       "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 1, column 27: syntax error "
       "while parsing value - invalid string: ill-formed UTF-8 byte; last read: '\"\\xff'"},
      {"{\"speed\": 1e999}", "s.json: not valid JSON: [json.exception.out_of_range.406] number overflow parsing "
                             "'1e999'"},
      {"[]", "s.json: (top level): expected an object"},
      {"null", "s.json: (top level): expected an object"},
      {"\"speed\"", "s.json: (top level): expected an object"},
      {"{\"sped\": 1}", std::string("s.json: sped: ") + kTopKeys},
      {"{\"a.b\\n\": 1}", std::string("s.json: \"a.b\\n\": ") + kTopKeys},
      // A repeated key would otherwise keep only its last value, silently.
      {"{\"speed\": 1, \"speed\": 2}", "s.json: speed: duplicate key"},
      {"{\"timeline\": [{\"at_ms\": 1, \"notify\": true}, {\"at_ms\": 2, \"notify\": true, \"notify\": false}]}",
       "s.json: timeline[1].notify: duplicate key"},
      {"{\"speed\": \"fast\"}", "s.json: speed: expected a number, got \"fast\""},
      {"{\"speed\": true}", "s.json: speed: expected a number, got true"},
      {"{\"speed\": null}", "s.json: speed: expected a number, got null"},
      {"{\"speed\": 0}", "s.json: speed: expected a number from 0.001 to 1000000, got 0"},
      {"{\"speed\": -2.5}", "s.json: speed: expected a number from 0.001 to 1000000, got -2.5"},
      {"{\"speed\": 1e7}", "s.json: speed: expected a number from 0.001 to 1000000, got 10000000.0"},
      {"{\"firmware\": null}", "s.json: firmware: expected an object, got null"},
      {"{\"firmware\": {\"exec\": 1}}", "s.json: firmware.exec: unknown key; expected one of instance, exec_ms"},
      {"{\"firmware\": {\"instance\": \"yes\"}}", "s.json: firmware.instance: expected true or false, got \"yes\""},
      {"{\"firmware\": {\"exec_ms\": -5}}",
       "s.json: firmware.exec_ms: expected an integer from 0 to 1000000000, got -5"},
      {"{\"firmware\": {\"exec_ms\": 2.5}}", "s.json: firmware.exec_ms: expected an integer, got 2.5"},
  });
}

TEST(ScenarioErrors, Modem) {
  ExpectErrors({
      {"{\"modem\": 1}", "s.json: modem: expected an object or null, got 1"},
      {"{\"modem\": []}", "s.json: modem: expected an object or null, got an array"},
      {"{\"modem\": {\"sim_iccid\": \"\"}}",
       "s.json: modem.sim_iccid: unknown key; expected one of device_status, sim_icc_id, command_session, "
       "sar_status_code, sar_reply, sar_manager, command_ms, configuration_ms, hysteresis_ms, "
       "is_transmitting_ms"},
      {"{\"modem\": {\"device_status\": \"ready\"}}",
       "s.json: modem.device_status: expected an integer, got \"ready\""},
      {"{\"modem\": {\"device_status\": 1.5}}", "s.json: modem.device_status: expected an integer, got 1.5"},
      {"{\"modem\": {\"device_status\": 1.0}}", "s.json: modem.device_status: expected an integer, got 1.0"},
      {"{\"modem\": {\"device_status\": 2147483648}}",
       "s.json: modem.device_status: expected an integer from -2147483648 to 2147483647, got 2147483648"},
      {"{\"modem\": {\"device_status\": -2147483649}}",
       "s.json: modem.device_status: expected an integer from -2147483648 to 2147483647, got -2147483649"},
      // Beyond 64 bits the parser holds the number as a double; it must not wrap or round.
      {"{\"modem\": {\"device_status\": 99999999999999999999}}",
       "s.json: modem.device_status: expected an integer from -2147483648 to 2147483647, got 1e+20"},
      {"{\"modem\": {\"sim_icc_id\": 5}}", "s.json: modem.sim_icc_id: expected a string, got 5"},
      {"{\"modem\": {\"sim_icc_id\": null}}", "s.json: modem.sim_icc_id: expected a string, got null"},
      {"{\"modem\": {\"command_session\": 1}}", "s.json: modem.command_session: expected true or false, got 1"},
      {"{\"modem\": {\"sar_status_code\": -1}}",
       "s.json: modem.sar_status_code: expected an integer from 0 to 4294967295, got -1"},
      {"{\"modem\": {\"sar_status_code\": 4294967296}}",
       "s.json: modem.sar_status_code: expected an integer from 0 to 4294967295, got 4294967296"},
      {"{\"modem\": {\"sar_status_code\": 18446744073709551615}}",
       "s.json: modem.sar_status_code: expected an integer from 0 to 4294967295, got 18446744073709551615"},
      {"{\"modem\": {\"sar_reply\": \"abc\"}}",
       "s.json: modem.sar_reply: expected an even number of hex digits, got 3"},
      {"{\"modem\": {\"sar_reply\": \"0g\"}}", "s.json: modem.sar_reply: expected hex digits, got \"0g\""},
      {"{\"modem\": {\"sar_reply\": \"01 02\"}}", "s.json: modem.sar_reply: expected hex digits, got \"01 02\""},
      {"{\"modem\": {\"sar_reply\": \"0x01\"}}", "s.json: modem.sar_reply: expected hex digits, got \"0x01\""},
      {"{\"modem\": {\"sar_reply\": \"" + std::string(100, 'z') + "\"}}",
       "s.json: modem.sar_reply: expected hex digits, got \"" + std::string(80, 'z') + "\"..."},
      {"{\"modem\": {\"sar_reply\": 12}}", "s.json: modem.sar_reply: expected a string, got 12"},
      {"{\"modem\": {\"sar_manager\": null}}", "s.json: modem.sar_manager: expected true or false, got null"},
      {"{\"modem\": {\"command_ms\": -1}}",
       "s.json: modem.command_ms: expected an integer from 0 to 1000000000, got -1"},
      {"{\"modem\": {\"command_ms\": 1000000001}}",
       "s.json: modem.command_ms: expected an integer from 0 to 1000000000, got 1000000001"},
      {"{\"modem\": {\"command_ms\": \"10\"}}", "s.json: modem.command_ms: expected an integer, got \"10\""},
      {"{\"modem\": {\"configuration_ms\": -1}}",
       "s.json: modem.configuration_ms: expected an integer from 0 to 1000000000, got -1"},
      {"{\"modem\": {\"configuration_ms\": 29900.5}}",
       "s.json: modem.configuration_ms: expected an integer, got 29900.5"},
      {"{\"modem\": {\"configuration_ms\": false}}", "s.json: modem.configuration_ms: expected an integer, got false"},
      {"{\"modem\": {\"hysteresis_ms\": 1000000001}}",
       "s.json: modem.hysteresis_ms: expected an integer from 0 to 1000000000, got 1000000001"},
      {"{\"modem\": {\"hysteresis_ms\": \"never\"}}", "s.json: modem.hysteresis_ms: expected an integer, got \"never\""},
      {"{\"modem\": {\"hysteresis_ms\": []}}", "s.json: modem.hysteresis_ms: expected an integer, got an array"},
  });
}

// The list an unknown op's error offers holds every op a fault may name, and nothing else.
TEST(ScenarioErrors, AnUnknownOpListsTheKnownOnes) {
  const std::string list = FaultTable::KnownOps();
  std::vector<std::string> names;
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(", ", at), list.size());
    names.push_back(list.substr(at, comma - at));
    at = comma + 2;
  }
  for (const std::string& name : names) EXPECT_TRUE(FaultTable::IsKnownOp(name)) << name;
  // The first and the last of the table, and a few between.
  for (const char* op : {"RoInitialize", "SimIccId", "NetworkDeviceStatus", "ExecMethod", "WaitForTxEvent"})
    EXPECT_NE(std::find(names.begin(), names.end(), op), names.end()) << op << " is not offered";
}

TEST(ScenarioErrors, Faults) {
  ExpectErrors({
      {"{\"faults\": {}}", "s.json: faults: expected an array, got an object"},
      {"{\"faults\": [1]}", "s.json: faults[0]: expected an object, got 1"},
      {"{\"faults\": [{\"hresult\": \"0x80004005\"}]}", "s.json: faults[0].op: missing"},
      {"{\"faults\": [{\"op\": \"Next\"}]}", "s.json: faults[0].hresult: missing"},
      {"{\"faults\": [{\"op\": 5, \"hresult\": 1}]}", "s.json: faults[0].op: expected a string, got 5"},
      {"{\"faults\": [{\"op\": \"GetDefualt\", \"hresult\": \"0x80004005\"}]}",
       "s.json: faults[0].op: unknown op \"GetDefualt\"; expected one of " + FaultTable::KnownOps()},
      {"{\"faults\": [{\"op\": \"Next\", \"hresult\": 1}, {\"op\": \"Next\", \"hresult\": 1, \"calls\": 1}]}",
       "s.json: faults[1].calls: unknown key; expected one of op, hresult, call"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"80070005\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"80070005\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"0x\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"0x\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"0x800700051\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"0x800700051\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"0X80070005\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"0X80070005\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"0x8007000g\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"0x8007000g\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \" 0x80070005\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\" 0x80070005\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"abandoned\"}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "\"abandoned\""},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": true}]}",
       std::string("s.json: faults[0].hresult: ") + kHresultForm + "true"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": 1.5}]}", "s.json: faults[0].hresult: expected an integer, got 1.5"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": 4294967296}]}",
       "s.json: faults[0].hresult: expected an integer from -2147483648 to 4294967295, got 4294967296"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": -2147483649}]}",
       "s.json: faults[0].hresult: expected an integer from -2147483648 to 4294967295, got -2147483649"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": 0}]}", "s.json: faults[0].hresult: 0 is success, not a fault"},
      {"{\"faults\": [{\"op\": \"Get\", \"hresult\": \"0x0\"}]}",
       "s.json: faults[0].hresult: 0 is success, not a fault"},
      {"{\"faults\": [{\"op\": \"Next\", \"hresult\": \"0x00000000\"}]}",
       "s.json: faults[0].hresult: 0 is success, not a fault"},
      {"{\"faults\": [{\"op\": \"GetDefault\", \"hresult\": 1}]}",
       "s.json: faults[0].hresult: 0x00000001 is a success code, not a fault"},
      {"{\"faults\": [{\"op\": \"GetDefault\", \"hresult\": \"0x7fffffff\"}]}",
       "s.json: faults[0].hresult: 0x7FFFFFFF is a success code, not a fault"},
      {"{\"faults\": [{\"op\": \"WaitForTxEvent\", \"hresult\": \"0x80\"}]}",
       "s.json: faults[0].hresult: expected \"abandoned\" or \"failed\" for WaitForTxEvent, got \"0x80\""},
      {"{\"faults\": [{\"op\": \"WaitForTxEvent\", \"hresult\": 128}]}",
       "s.json: faults[0].hresult: expected \"abandoned\" or \"failed\" for WaitForTxEvent, got 128"},
      {"{\"faults\": [{\"op\": \"WaitForTxEvent\", \"hresult\": \"Abandoned\"}]}",
       "s.json: faults[0].hresult: expected \"abandoned\" or \"failed\" for WaitForTxEvent, got \"Abandoned\""},
      {"{\"faults\": [{\"op\": \"Next\", \"hresult\": 1, \"call\": 0}]}",
       "s.json: faults[0].call: expected an integer >= 1, got 0"},
      {"{\"faults\": [{\"op\": \"Next\", \"hresult\": 1, \"call\": \"1\"}]}",
       "s.json: faults[0].call: expected an integer, got \"1\""},
      {"{\"faults\": [{\"op\": \"Next\", \"hresult\": 1, \"call\": null}]}",
       "s.json: faults[0].call: expected an integer, got null"},
  });
}

TEST(ScenarioErrors, Timeline) {
  ExpectErrors({
      {"{\"timeline\": {}}", "s.json: timeline: expected an array, got an object"},
      {"{\"timeline\": [\"x\"]}", "s.json: timeline[0]: expected an object, got \"x\""},
      {"{\"timeline\": [{\"notify\": true}]}", "s.json: timeline[0].at_ms: missing"},
      {"{\"timeline\": [{}]}", "s.json: timeline[0].at_ms: missing"},
      {"{\"timeline\": [{\"at_ms\": 5}]}", std::string("s.json: timeline[0]: ") + kNoEffect},
      {"{\"timeline\": [{\"at_ms\": -1, \"notify\": true}]}",
       "s.json: timeline[0].at_ms: expected an integer from 0 to 1000000000, got -1"},
      {"{\"timeline\": [{\"at_ms\": 9223372036854775807, \"notify\": true}]}",
       "s.json: timeline[0].at_ms: expected an integer from 0 to 1000000000, got 9223372036854775807"},
      {"{\"timeline\": [{\"at_ms\": 1.5, \"notify\": true}]}", "s.json: timeline[0].at_ms: expected an integer, got 1.5"},
      {"{\"timeline\": [{\"at_ms\": \"100\", \"notify\": true}]}",
       "s.json: timeline[0].at_ms: expected an integer, got \"100\""},
      {"{\"timeline\": [{\"at_ms\": 1, \"transmiting\": true}]}",
       "s.json: timeline[0].transmiting: unknown key; expected one of at_ms, transmitting, notify, device_status, "
       "sim_icc_id, modem"},
      {"{\"timeline\": [{\"at_ms\": 1, \"transmitting\": \"yes\"}]}",
       "s.json: timeline[0].transmitting: expected true or false, got \"yes\""},
      {"{\"timeline\": [{\"at_ms\": 1, \"notify\": 0}]}", "s.json: timeline[0].notify: expected true or false, got 0"},
      {"{\"timeline\": [{\"at_ms\": 1, \"device_status\": \"0\"}]}",
       "s.json: timeline[0].device_status: expected an integer, got \"0\""},
      {"{\"timeline\": [{\"at_ms\": 1, \"device_status\": 4294967295}]}",
       "s.json: timeline[0].device_status: expected an integer from -2147483648 to 2147483647, got 4294967295"},
      {"{\"timeline\": [{\"at_ms\": 1, \"sim_icc_id\": 0}]}", "s.json: timeline[0].sim_icc_id: expected a string, got 0"},
      {"{\"timeline\": [{\"at_ms\": 1, \"modem\": \"gone\"}]}",
       "s.json: timeline[0].modem: expected \"removed\", got \"gone\""},
      {"{\"timeline\": [{\"at_ms\": 1, \"modem\": null}]}", "s.json: timeline[0].modem: expected \"removed\", got null"},
      // The index is the item's place in the file, not after sorting.
      {"{\"timeline\": [{\"at_ms\": 500, \"notify\": true}, {\"at_ms\": 100, \"notify\": \"x\"}]}",
       "s.json: timeline[1].notify: expected true or false, got \"x\""},
  });
}

TEST(ScenarioValues, EmptyObjectGivesAHealthyNotebook) {
  const Scenario scenario = ParseScenario("{}", "s.json");
  EXPECT_EQ(scenario.speed, 1.0);
  ASSERT_TRUE(scenario.modem.has_value());
  EXPECT_EQ(scenario.modem->deviceStatus, 1);
  EXPECT_EQ(scenario.modem->simIccId, u"");
  EXPECT_TRUE(scenario.modem->commandSession);
  EXPECT_EQ(scenario.modem->sarStatusCode, 0u);
  EXPECT_EQ(scenario.modem->sarReply, DefaultSarReply());
  EXPECT_TRUE(scenario.modem->sarManager);
  EXPECT_EQ(scenario.modem->commandMs, std::optional<std::int64_t>(0));
  EXPECT_EQ(scenario.modem->configurationMs, std::optional<std::int64_t>(0));
  EXPECT_EQ(scenario.modem->hysteresisMs, std::optional<std::int64_t>(0));
  EXPECT_TRUE(scenario.firmware.instance);
  EXPECT_EQ(scenario.firmware.execMs, 0);
  EXPECT_TRUE(scenario.faults.empty());
  EXPECT_TRUE(scenario.timeline.empty());

  EXPECT_TRUE(ParseScenario("{\"modem\": {}}", "s.json").modem.has_value());
  EXPECT_FALSE(ParseScenario("{\"modem\": null}", "s.json").modem.has_value());
}

TEST(ScenarioValues, DefaultSarReplyIsTheEightLittleEndianWords) {
  const std::vector<std::uint8_t> expected = {1, 0, 0, 0, 0, 0, 0, 0, 1,  0, 0, 0, 1, 0, 0, 0,
                                              24, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(DefaultSarReply(), expected);
}

TEST(ScenarioValues, ModemKeysArriveAsWritten) {
  const Scenario scenario = ParseScenario(
      R"({"speed": 2.5, "modem": {"device_status": -2147483648, "sim_icc_id": "8949", "command_session": false,
          "sar_status_code": 4294967295, "sar_reply": "0aFf10", "sar_manager": false, "command_ms": null,
          "configuration_ms": null, "hysteresis_ms": null, "is_transmitting_ms": null},
          "firmware": {"instance": false, "exec_ms": 1000000000}, "another_instance": true})",
      "s.json");
  EXPECT_EQ(scenario.speed, 2.5);
  ASSERT_TRUE(scenario.modem.has_value());
  EXPECT_EQ(scenario.modem->deviceStatus, INT32_MIN);
  EXPECT_EQ(scenario.modem->simIccId, u"8949");
  EXPECT_FALSE(scenario.modem->commandSession);
  EXPECT_EQ(scenario.modem->sarStatusCode, 4294967295u);
  EXPECT_EQ(scenario.modem->sarReply, (std::vector<std::uint8_t>{0x0A, 0xFF, 0x10}));
  EXPECT_FALSE(scenario.modem->sarManager);
  EXPECT_FALSE(scenario.modem->commandMs.has_value());
  EXPECT_FALSE(scenario.modem->configurationMs.has_value());
  EXPECT_FALSE(scenario.modem->hysteresisMs.has_value());
  EXPECT_FALSE(scenario.modem->isTransmittingMs.has_value());
  EXPECT_TRUE(scenario.anotherInstance);
  EXPECT_FALSE(scenario.firmware.instance);
  EXPECT_EQ(scenario.firmware.execMs, 1000000000);

  const Scenario other = ParseScenario(
      R"({"speed": 100, "modem": {"sar_reply": "", "command_ms": 250, "configuration_ms": 29900,
          "hysteresis_ms": 1000000000, "is_transmitting_ms": 29999}})",
      "s.json");
  EXPECT_FALSE(other.anotherInstance);
  EXPECT_EQ(other.modem->isTransmittingMs, std::optional<std::int64_t>(29999));
  EXPECT_EQ(other.speed, 100.0);
  EXPECT_TRUE(other.modem->sarReply.empty());
  EXPECT_EQ(other.modem->commandMs, std::optional<std::int64_t>(250));
  EXPECT_EQ(other.modem->configurationMs, std::optional<std::int64_t>(29900));
  EXPECT_EQ(other.modem->hysteresisMs, std::optional<std::int64_t>(1000000000));
}

// Whatever the file holds, an error line quotes at most about 80 characters of any piece of
// it, escapes what is not printable ASCII, and says where it cut.
TEST(ScenarioErrors, InputIsShownShortAndPrintable) {
  const std::string longKey(1000000, 'k');
  const std::string cutKey = "\"" + std::string(80, 'k') + "\"...";
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "{\"a\":";
  deep += "{\"k\":1,\"k\":2}" + std::string(10000, '}');
  std::string deepPath = ".k";
  while (deepPath.size() + 2 <= 160) deepPath = ".a" + deepPath;
  ExpectErrors({
      {"{\"" + longKey + "\": 1}", "s.json: " + cutKey + ": " + kTopKeys},
      {"{\"modem\": {\"" + longKey + "\": 1}}",
       "s.json: modem." + cutKey + ": unknown key; expected one of device_status, sim_icc_id, command_session, "
       "sar_status_code, sar_reply, sar_manager, command_ms, configuration_ms, hysteresis_ms, "
       "is_transmitting_ms"},
      {"{\"" + std::string(80, 'k') + "\": 1}", "s.json: " + std::string(80, 'k') + ": " + kTopKeys},
      {"{\"k\\u0001\\u00e9\": 1}", "s.json: \"k\\x01\\xc3\\xa9\": " + std::string(kTopKeys)},
      {"{\"faults\": [{\"op\": \"" + longKey + "\", \"hresult\": 1}]}",
       "s.json: faults[0].op: unknown op " + cutKey + "; expected one of " + FaultTable::KnownOps()},
      {"{\"faults\": [{\"op\": \"Get\\u00e9\\n\", \"hresult\": 1}]}",
       "s.json: faults[0].op: unknown op \"Get\\xc3\\xa9\\n\"; expected one of " + FaultTable::KnownOps()},
      {"{\"speed\": \"" + std::string(79, 's') + "\\u00ff\"}",
       "s.json: speed: expected a number, got \"" + std::string(79, 's') + "\"..."},
      // The parser's message quotes the token it stopped at, which can be the rest of the file.
      {"{\"speed\": \"" + longKey,
       "s.json: not valid JSON: [json.exception.parse_error.101] parse error at line 1, column 1000012: syntax "
       "error while parsing value - invalid string: missing closing quote; last read: '\"" +
           std::string(79, 'k') + "...'"},
      {"{\"speed\": 1" + std::string(100, '0') + "e999}",
       "s.json: not valid JSON: [json.exception.out_of_range.406] number overflow parsing '1" + std::string(79, '0') +
           "...'"},
      // A key repeated deep inside: the path's end names it.
      {deep, "s.json: ..." + deepPath + ": duplicate key"},
  });
  const std::string longName = "/" + std::string(200, 'd') + "/\xff.json";
  try {
    ParseScenario("[]", longName);
    FAIL() << "accepted";
  } catch (const ScenarioError& error) {
    EXPECT_EQ(std::string(error.what()), "..." + std::string(70, 'd') + "/\\xff.json: (top level): expected an object");
  }
}

TEST(ScenarioValues, IccIdIsUtf16FromUtf8OrEscapes) {
  // e-acute (2 bytes), euro sign (3 bytes), and U+1F600 (4 bytes: a surrogate pair in UTF-16).
  const std::u16string expected = u"89\u00E9\u20AC\U0001F600";
  EXPECT_EQ(ParseScenario("{\"modem\": {\"sim_icc_id\": \"89\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"}}", "s.json")
                .modem->simIccId,
            expected);
  EXPECT_EQ(ParseScenario(R"({"modem": {"sim_icc_id": "89\u00e9\u20ac\ud83d\ude00"}})", "s.json").modem->simIccId,
            expected);
  EXPECT_EQ(ParseScenario(R"({"timeline": [{"at_ms": 1, "sim_icc_id": "\u00e9"}]})", "s.json").timeline[0].simIccId,
            std::optional<std::u16string>(u"\u00E9"));
}

TEST(ScenarioValues, FaultCodesKeepTheirBitPattern) {
  const Scenario scenario = ParseScenario(R"({"faults": [
      {"op": "GetDeviceService", "hresult": "0x80070005", "call": 1},
      {"op": "GetResults", "hresult": 2147942405},
      {"op": "ExecMethod", "hresult": -2147024891, "call": 9223372036854775807},
      {"op": "Put", "hresult": "0x8007000e"},
      {"op": "Next", "hresult": 1},
      {"op": "WaitForTxEvent", "hresult": "abandoned", "call": 2},
      {"op": "WaitForTxEvent", "hresult": "failed"}]})",
                                          "s.json");
  const std::int32_t accessDenied = static_cast<std::int32_t>(0x80070005u);
  ASSERT_EQ(scenario.faults.size(), 7u);
  EXPECT_EQ(scenario.faults[0].op, "GetDeviceService");
  EXPECT_EQ(scenario.faults[0].hresult, accessDenied);
  EXPECT_EQ(scenario.faults[0].call, std::optional<std::int64_t>(1));
  EXPECT_EQ(scenario.faults[1].hresult, accessDenied);
  EXPECT_FALSE(scenario.faults[1].call.has_value());
  EXPECT_EQ(scenario.faults[2].hresult, accessDenied);
  EXPECT_EQ(scenario.faults[2].call, std::optional<std::int64_t>(INT64_MAX));
  EXPECT_EQ(scenario.faults[3].hresult, static_cast<std::int32_t>(0x8007000Eu));
  EXPECT_EQ(scenario.faults[4].hresult, 1);
  EXPECT_EQ(scenario.faults[5].op, "WaitForTxEvent");
  EXPECT_EQ(scenario.faults[5].hresult, 0x80);
  EXPECT_EQ(scenario.faults[5].call, std::optional<std::int64_t>(2));
  EXPECT_EQ(scenario.faults[6].hresult, -1);
}

TEST(ScenarioValues, TimelineIsSortedStablyByTime) {
  // device_status tags each item with its place in the file.
  const Scenario scenario = ParseScenario(R"({"timeline": [
      {"at_ms": 300, "device_status": 0, "transmitting": true},
      {"at_ms": 100, "device_status": 1, "notify": false},
      {"at_ms": 300, "device_status": 2, "sim_icc_id": ""},
      {"at_ms": 100, "device_status": 3},
      {"at_ms": 0, "device_status": 4, "modem": "removed"}]})",
                                          "s.json");
  std::vector<std::int32_t> order;
  for (const TimelineItem& item : scenario.timeline) order.push_back(item.deviceStatus.value_or(-1));
  EXPECT_EQ(order, (std::vector<std::int32_t>{4, 1, 3, 0, 2}));

  const std::vector<TimelineItem>& items = scenario.timeline;
  EXPECT_TRUE(items[0].modemRemoved);
  EXPECT_EQ(items[1].notify, std::optional<bool>(false));
  EXPECT_FALSE(items[1].transmitting.has_value());
  EXPECT_EQ(items[3].transmitting, std::optional<bool>(true));
  EXPECT_FALSE(items[3].modemRemoved);
  EXPECT_EQ(items[4].simIccId, std::optional<std::u16string>(u""));
}

TEST(ScenarioValues, EmbeddedDefaultScenarioParses) {
  const Scenario scenario = ParseScenario(kDefaultScenario, "embedded default scenario");
  EXPECT_TRUE(scenario.modem.has_value());
  EXPECT_FALSE(scenario.timeline.empty());
}

TEST(ScenarioFile, ReadsEveryByteOrNamesThePathAndReason) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() /
      ("korvi_scenario_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(directory);
  const std::string path = (directory / "s.json").string();
  const char raw[] = "{\r\n\"speed\": 2}\0tail";  // line ends and a NUL come back untouched
  const std::string content(raw, sizeof raw - 1);
  {
    std::ofstream out(path, std::ios::binary);
    out << content;
  }
  EXPECT_EQ(ReadScenarioFile(path), content);

  const auto errorOf = [](const std::string& filePath) -> std::string {
    try {
      ReadScenarioFile(filePath);
    } catch (const ScenarioError& error) {
      return error.what();
    }
    return "(read)";
  };
  // The bound holds to the byte: a scenario of exactly 16 MiB is read, one byte more is not.
  const std::string large = (directory / "large.json").string();
  {
    std::ofstream out(large, std::ios::binary);
    out << std::string(kMaxScenarioBytes, ' ');
  }
  EXPECT_EQ(ReadScenarioFile(large).size(), kMaxScenarioBytes);
  {
    std::ofstream out(large, std::ios::binary | std::ios::app);
    out << ' ';
  }
  EXPECT_EQ(errorOf(large), large + ": cannot read the file: it is larger than 16 MiB, the most a scenario may hold");

  const std::string missing = (directory / "missing.json").string();
  EXPECT_EQ(errorOf(missing), missing + ": cannot read the file: No such file or directory");
  EXPECT_EQ(errorOf(directory.string()), directory.string() + ": cannot read the file: it is a directory, not a regular file");
  std::filesystem::remove_all(directory);
}


// The hash that names a scenario is SHA-256 as sha256sum gives it: the standard's own vectors,
// the padding that fits one block and the one that needs a second, and a long input.
TEST(ScenarioSource, Sha256IsTheStandardOne) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 56 bytes: a second block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      // The most that leaves room for the length in the last block, one whole block, and a
      // whole block before that longest tail.
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [bytes, hex] : cases) EXPECT_EQ(Sha256Hex(bytes), hex) << bytes.size() << " bytes";
}

// Where the scenario came from: the embedded default when the variable is unset, the file's
// own bytes hashed when it names one, and a refusal when it is set but empty.
TEST(ScenarioSource, NamesTheFileOrTheDefaultAndRefusesAnEmptyName) {
  const LoadedScenario embedded = LoadScenario(nullptr);
  EXPECT_FALSE(embedded.source.path);
  EXPECT_EQ(embedded.source.sha256, Sha256Hex(kDefaultScenario));
  EXPECT_EQ(ScenarioText(embedded.source), "the embedded default, sha256 " + Sha256Hex(kDefaultScenario));

  try {
    LoadScenario("");
    ADD_FAILURE() << "an empty KORVI_SIM_SCENARIO was taken";
  } catch (const ScenarioError& error) {
    EXPECT_STREQ(error.what(), "KORVI_SIM_SCENARIO: set but empty; name a scenario file, or unset it to run the "
                               "embedded default scenario");
  }

  const auto path = std::filesystem::temp_directory_path() /
                    ("korvi-scenario-source-" + std::to_string(::getpid()) + ".json");
  const std::string text = "{ \"speed\": 2 }\n";
  std::ofstream(path, std::ios::binary) << text;
  const LoadedScenario file = LoadScenario(path.c_str());
  std::filesystem::remove(path);
  EXPECT_EQ(file.scenario.speed, 2.0);
  EXPECT_EQ(file.source.path, path.string());
  EXPECT_EQ(file.source.sha256, Sha256Hex(text));
}

// The run record's scenario member is valid JSON for any path: quotes, backslashes (a Windows
// path) and control bytes escaped, UTF-8 kept, a byte that is not UTF-8 read as Latin-1.
TEST(ScenarioSource, TheRunRecordsMemberIsJsonForAnyPath) {
  const std::string hash(64, 'f');
  const std::pair<ScenarioSource, std::string> cases[] = {
      {{std::nullopt, hash}, R"({"embedded":true,"sha256":")" + hash + "\"}"},
      {{"scenarios/default.json", hash}, R"({"path":"scenarios/default.json","sha256":")" + hash + "\"}"},
      {{R"(Z:\work\a "b".json)", hash}, R"({"path":"Z:\\work\\a \"b\".json","sha256":")" + hash + "\"}"},
      {{"caf\xc3\xa9\x01\x7f\xff\xc3", hash},
       "{\"path\":\"caf\xc3\xa9\\u0001\\u007f\\u00ff\\u00c3\",\"sha256\":\"" + hash + "\"}"},
  };
  for (const auto& [source, json] : cases) EXPECT_EQ(ScenarioJson(source), json);
}

}  // namespace
}  // namespace korvi::sim
