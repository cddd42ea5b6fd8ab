// Any bytes as the value of one scenario key, inside an otherwise valid scenario, so that the
// fuzzer works on the readers of single values (hex reply, SIM identifier, result codes,
// integers, speed) rather than on the JSON around them. The first byte picks the key; the
// rest is the value, either as the content of a JSON string (escaped where JSON needs it) or
// as raw JSON text. Each reader must accept exactly what its key documents, keep its value
// exactly, and otherwise fail with a one-line error naming that key.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "os/text_encoding.h"
#include "utf8.h"
#include "platform/sim/scenario/scenario.h"

namespace {

using korvi::fuzz::IsUtf8;
using korvi::fuzz::Require;
using namespace korvi::sim;

const std::string kSource = "fuzzed.json";

// The value as the content of a JSON string: the bytes themselves, with quote, backslash and
// control characters escaped, so a string reaches the reader whenever the bytes are UTF-8.
std::string JsonString(std::string_view value) {
  std::string text = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20) {
      char escape[7];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      text += escape;
    } else {
      text += c;
    }
  }
  return text + "\"";
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool AllHex(std::string_view text) {
  for (const char c : text)
    if (!IsHexDigit(c)) return false;
  return true;
}

// A plain JSON integer ("-" and digits only, no leading zero, at most 18 digits): its value,
// so that an accepted number can be compared with what the reader kept.
std::optional<long long> PlainInteger(std::string_view text) {
  const std::string_view digits = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
  if (digits.empty() || digits.size() > 18 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  for (const char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return std::strtoll(std::string(text).c_str(), nullptr, 10);
}

// A raw value may close its object and add keys of its own; an error may then name those.
bool StaysInItsPlace(std::string_view value) { return value.find_first_of(",:\"{}[]") == std::string_view::npos; }

std::optional<Scenario> Parse(const std::string& json, const std::string& keyPath, bool errorNamesKey = true) {
  try {
    return ParseScenario(json, kSource);
  } catch (const ScenarioError& error) {
    const std::string_view text = error.what();
    Require(text.find_first_of("\n\r") == std::string_view::npos, "the error is one line");
    Require(text.substr(0, kSource.size() + 2) == kSource + ": ", "the error starts with the file's name");
    // Only a value that is not JSON at all may fail before the key's own reader sees it.
    const bool namesKey = text.find(": " + keyPath + ": ") != std::string_view::npos;
    const bool notJson = text.find(": not valid JSON: ") != std::string_view::npos;
    const bool duplicate = text.find(": duplicate key") != std::string_view::npos;
    const bool otherKey = text.find(": unknown key") != std::string_view::npos;
    if (errorNamesKey) Require(namesKey || notJson || duplicate || otherKey, "the error names the key");
    return std::nullopt;
  }
}

void SarReply(std::string_view value) {
  const auto scenario = Parse("{\"modem\": {\"sar_reply\": " + JsonString(value) + "}}", "modem.sar_reply");
  const bool valid = AllHex(value) && value.size() % 2 == 0;
  if (IsUtf8(value)) Require(scenario.has_value() == valid, "a reply is accepted exactly when it is pairs of hex digits");
  if (!scenario) return;
  const std::vector<std::uint8_t>& reply = scenario->modem->sarReply;
  Require(reply.size() * 2 == value.size(), "every two hex digits give one reply byte");
  for (std::size_t i = 0; i < reply.size(); ++i) {
    const std::string pair(value.substr(i * 2, 2));
    Require(reply[i] == std::strtoul(pair.c_str(), nullptr, 16), "each reply byte is its two hex digits");
  }
}

void SimIccId(std::string_view value) {
  const auto scenario = Parse("{\"modem\": {\"sim_icc_id\": " + JsonString(value) + "}}", "modem.sim_icc_id");
  if (IsUtf8(value)) Require(scenario.has_value(), "every UTF-8 SIM identifier is accepted");
  if (!scenario) return;
  Require(korvi::os::Utf8FromUtf16(scenario->modem->simIccId) == value, "the SIM identifier is kept exactly");
}

// The value placed between quotes as it is, so JSON's own escapes (\uD800 and the like) reach
// the reader.
void RawSimIccId(std::string_view value) {
  const auto scenario =
      Parse("{\"timeline\": [{\"at_ms\": 0, \"sim_icc_id\": \"" + std::string(value) + "\"}]}", "timeline[0].sim_icc_id", false);
  if (!scenario || scenario->timeline.size() != 1 || !scenario->timeline[0].simIccId) return;
  const std::u16string& id = *scenario->timeline[0].simIccId;
  // Well-formed UTF-16 survives the trip to UTF-8 and back unchanged; a lone surrogate would not.
  const std::string utf8 = korvi::os::Utf8FromUtf16(id);
  Require(IsUtf8(utf8), "a SIM identifier converts to valid UTF-8");
  const auto again = Parse("{\"modem\": {\"sim_icc_id\": " + JsonString(utf8) + "}}", "modem.sim_icc_id");
  Require(again && again->modem->simIccId == id, "a SIM identifier holds no lone surrogate");
}

void HresultText(std::string_view value) {
  const auto scenario =
      Parse("{\"faults\": [{\"op\": \"ExecMethod\", \"hresult\": " + JsonString(value) + "}]}", "faults[0].hresult");
  const bool wellFormed = value.size() >= 3 && value.size() <= 10 && value.substr(0, 2) == "0x" && AllHex(value.substr(2));
  const unsigned long code = wellFormed ? std::strtoul(std::string(value.substr(2)).c_str(), nullptr, 16) : 0;
  if (IsUtf8(value))
    Require(scenario.has_value() == (wellFormed && code >= 0x80000000ul), "a failure code in hex is accepted, nothing else");
  if (!scenario) return;
  Require(static_cast<std::uint32_t>(scenario->faults.at(0).hresult) == code, "the code is kept bit for bit");
}

void HresultNumber(std::string_view value) {
  const auto scenario = Parse("{\"faults\": [{\"op\": \"ExecMethod\", \"hresult\": " + std::string(value) + "}]}",
                              "faults[0].hresult", StaysInItsPlace(value));
  const auto plain = PlainInteger(value);
  if (plain) {
    const bool failure = (*plain < 0 && *plain >= INT32_MIN) || (*plain >= 0x80000000ll && *plain <= 0xFFFFFFFFll);
    Require(scenario.has_value() == failure, "a failure code as a number is accepted, nothing else");
  }
  if (!scenario || scenario->faults.size() != 1) return;
  Require(scenario->faults[0].hresult < 0, "a fault's code is a failure code");
  if (plain) Require(static_cast<std::uint32_t>(scenario->faults[0].hresult) == static_cast<std::uint32_t>(*plain),
                     "the code is kept bit for bit");
}

void Call(std::string_view value) {
  const auto scenario = Parse("{\"faults\": [{\"op\": \"Next\", \"hresult\": 1, \"call\": " + std::string(value) + "}]}",
                              "faults[0].call", StaysInItsPlace(value));
  const auto plain = PlainInteger(value);
  if (plain) Require(scenario.has_value() == (*plain >= 1), "a call number from 1 is accepted, nothing else");
  if (!scenario || scenario->faults.size() != 1) return;
  Require(scenario->faults[0].call && *scenario->faults[0].call >= 1, "a call counts from 1");
  if (plain) Require(*scenario->faults[0].call == *plain, "the call number is kept");
}

void ExecMs(std::string_view value) {
  const auto scenario = Parse("{\"firmware\": {\"exec_ms\": " + std::string(value) + "}}", "firmware.exec_ms", StaysInItsPlace(value));
  const auto plain = PlainInteger(value);
  if (plain) Require(scenario.has_value() == (*plain >= 0 && *plain <= 1000000000), "a duration within range is accepted");
  if (!scenario) return;
  Require(scenario->firmware.execMs >= 0 && scenario->firmware.execMs <= 1000000000, "a duration within range");
  if (plain) Require(scenario->firmware.execMs == *plain, "the duration is kept");
}

void DeviceStatus(std::string_view value) {
  const auto scenario = Parse("{\"modem\": {\"device_status\": " + std::string(value) + "}}", "modem.device_status", StaysInItsPlace(value));
  const auto plain = PlainInteger(value);
  if (plain) Require(scenario.has_value() == (*plain >= INT32_MIN && *plain <= INT32_MAX), "any 32-bit status is accepted");
  if (scenario && plain) Require(scenario->modem->deviceStatus == *plain, "the status is kept");
}

void Speed(std::string_view value) {
  const auto scenario = Parse("{\"speed\": " + std::string(value) + "}", "speed", StaysInItsPlace(value));
  if (!scenario) return;
  Require(std::isfinite(scenario->speed) && scenario->speed >= 0.001 && scenario->speed <= 1000000.0,
          "speed within 0.001 to 1000000");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view value(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 9) {
    case 0: SarReply(value); break;
    case 1: SimIccId(value); break;
    case 2: RawSimIccId(value); break;
    case 3: HresultText(value); break;
    case 4: HresultNumber(value); break;
    case 5: Call(value); break;
    case 6: ExecMs(value); break;
    case 7: DeviceStatus(value); break;
    default: Speed(value); break;
  }
  return 0;
}
