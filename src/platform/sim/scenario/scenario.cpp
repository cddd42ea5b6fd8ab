// Reads a scenario file into a Scenario. Strict on purpose: an unknown or repeated key, a
// wrong type or a number out of range is an error, so a typo never quietly becomes a default.
#include "platform/sim/scenario/scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <limits>
#include <set>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/sim/files/shown_input.h"

namespace korvi::sim {
namespace {

// ordered_json keeps the file's key order, so the first offending key in the file is the one
// reported.
using Json = nlohmann::ordered_json;

// In a paced run and on the real-time clock, a simulated duration becomes real time as
// ms / speed, then steady-clock nanoseconds in
// a 64-bit count; these bounds keep that (and the sums the simulator forms from it) far from
// overflow: 1e9 ms / 0.001 is 1e18 ns, below 9.2e18.
constexpr double kMinSpeed = 0.001;
constexpr double kMaxSpeed = 1000000.0;
constexpr std::int64_t kMaxMs = 1000000000;  // about 11.5 simulated days

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

constexpr std::int32_t kWaitAbandoned = 0x80;
constexpr std::int32_t kWaitFailed = -1;  // 0xFFFFFFFF

// Messages are composed without the source name; ParseScenario adds it in one place.
struct KeyError {
  std::string path;
  std::string message;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) { throw KeyError{path, message}; }

// A key shown bare in a path: short, and only letters, digits and underscores.
bool IsPlainKey(std::string_view key) {
  return !key.empty() && key.size() <= kShownInputLimit && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// Quoted, printable ASCII only and cut when long: whatever the file holds, the message stays
// on one short printable line.
std::string Quoted(const std::string& text) { return QuotedInput(text); }

std::string Member(const std::string& objectPath, const std::string& key) {
  const std::string shown = IsPlainKey(key) ? key : Quoted(key);
  return objectPath.empty() ? shown : objectPath + "." + shown;
}

std::string Element(const std::string& arrayPath, std::size_t index) {
  return arrayPath + "[" + std::to_string(index) + "]";
}

// A value as an error message shows it; long strings are cut.
std::string Describe(const Json& value) {
  if (value.is_object()) return "an object";
  if (value.is_array()) return "an array";
  if (value.is_string()) return Quoted(value.get_ref<const std::string&>());
  return value.dump();
}

std::string Hex32(std::int32_t code) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(code)));
  return text;
}

std::string RangeText(std::int64_t min, std::int64_t max) {
  if (max == kInt64Max) return "an integer >= " + std::to_string(min);
  return "an integer from " + std::to_string(min) + " to " + std::to_string(max);
}

// Walks one JSON object: each key is taken at most once, and Finish() rejects what is left.
class ObjectReader {
 public:
  ObjectReader(const Json& object, std::string path, std::initializer_list<std::string_view> known)
      : object_(object), path_(std::move(path)) {
    for (const auto& [key, value] : object_.items()) {
      if (std::find(known.begin(), known.end(), key) != known.end()) continue;
      std::string expected;
      for (std::string_view name : known) expected += (expected.empty() ? "" : ", ") + std::string(name);
      Fail(Member(path_, key), "unknown key; expected one of " + expected);
    }
  }

  std::string PathOf(std::string_view key) const { return Member(path_, std::string(key)); }

  const Json* Find(std::string_view key) const {
    auto found = object_.find(std::string(key));
    return found == object_.end() ? nullptr : &*found;
  }

  const Json& Require(std::string_view key) const {
    const Json* value = Find(key);
    if (value == nullptr) Fail(PathOf(key), "missing");
    return *value;
  }

 private:
  const Json& object_;
  std::string path_;
};

const Json& ExpectObject(const Json& value, const std::string& path) {
  if (!value.is_object()) Fail(path, "expected an object, got " + Describe(value));
  return value;
}

const Json& ExpectArray(const Json& value, const std::string& path) {
  if (!value.is_array()) Fail(path, "expected an array, got " + Describe(value));
  return value;
}

bool ReadBool(const Json& value, const std::string& path) {
  if (!value.is_boolean()) Fail(path, "expected true or false, got " + Describe(value));
  return value.get<bool>();
}

const std::string& ReadString(const Json& value, const std::string& path) {
  if (!value.is_string()) Fail(path, "expected a string, got " + Describe(value));
  return value.get_ref<const std::string&>();
}

// An integer in [min, max]. A fraction, or a whole number the parser could only hold as a
// double (beyond 64 bits), is never rounded into range.
std::int64_t ReadInteger(const Json& value, const std::string& path, std::int64_t min, std::int64_t max) {
  // The parser keeps every non-negative integer as unsigned, so both bounds apply here too.
  if (value.is_number_unsigned()) {
    const std::uint64_t number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(max) || (min > 0 && number < static_cast<std::uint64_t>(min)))
      Fail(path, "expected " + RangeText(min, max) + ", got " + Describe(value));
    return static_cast<std::int64_t>(number);
  }
  if (value.is_number_integer()) {
    const std::int64_t number = value.get<std::int64_t>();
    if (number < min || number > max) Fail(path, "expected " + RangeText(min, max) + ", got " + Describe(value));
    return number;
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    const bool whole = std::isfinite(number) && std::trunc(number) == number;
    if (whole && (number < static_cast<double>(min) || number > static_cast<double>(max)))
      Fail(path, "expected " + RangeText(min, max) + ", got " + Describe(value));
  }
  Fail(path, "expected an integer, got " + Describe(value));
}

std::int32_t ReadInt32(const Json& value, const std::string& path) {
  return static_cast<std::int32_t>(ReadInteger(value, path, kInt32Min, kInt32Max));
}

std::int64_t ReadMs(const Json& value, const std::string& path) { return ReadInteger(value, path, 0, kMaxMs); }

// UTF-8 to UTF-16. The JSON parser already rejects ill-formed UTF-8; this checks again
// rather than trust that, and never reads past the end.
std::u16string ReadUtf16(const Json& value, const std::string& path) {
  const std::string& text = ReadString(value, path);
  std::u16string result;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                                : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || at + length > text.size()) Fail(path, "not valid UTF-8");
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) Fail(path, "not valid UTF-8");
      code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      Fail(path, "not valid UTF-8");
    if (code >= 0x10000) {
      code -= 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
    at += length;
  }
  return result;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::uint8_t> ReadHexBytes(const Json& value, const std::string& path) {
  const std::string& text = ReadString(value, path);
  if (!std::all_of(text.begin(), text.end(), [](char c) { return HexDigit(c) >= 0; }))
    Fail(path, "expected hex digits, got " + Describe(value));
  if (text.size() % 2 != 0)
    Fail(path, "expected an even number of hex digits, got " + std::to_string(text.size()));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
  return bytes;
}

double ReadSpeed(const Json& value, const std::string& path) {
  if (!value.is_number()) Fail(path, "expected a number, got " + Describe(value));
  const double speed = value.get<double>();
  if (!(speed >= kMinSpeed && speed <= kMaxSpeed))
    Fail(path, "expected a number from 0.001 to 1000000, got " + Describe(value));
  return speed;
}

ModemSpec ReadModem(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path,
                            {"device_status", "sim_icc_id", "command_session", "sar_status_code", "sar_reply",
                             "sar_manager", "command_ms", "configuration_ms", "hysteresis_ms"});
  ModemSpec modem;
  if (const Json* v = object.Find("device_status")) modem.deviceStatus = ReadInt32(*v, object.PathOf("device_status"));
  if (const Json* v = object.Find("sim_icc_id")) modem.simIccId = ReadUtf16(*v, object.PathOf("sim_icc_id"));
  if (const Json* v = object.Find("command_session"))
    modem.commandSession = ReadBool(*v, object.PathOf("command_session"));
  if (const Json* v = object.Find("sar_status_code"))
    modem.sarStatusCode = static_cast<std::uint32_t>(ReadInteger(*v, object.PathOf("sar_status_code"), 0, kUint32Max));
  if (const Json* v = object.Find("sar_reply")) modem.sarReply = ReadHexBytes(*v, object.PathOf("sar_reply"));
  if (const Json* v = object.Find("sar_manager")) modem.sarManager = ReadBool(*v, object.PathOf("sar_manager"));
  // null: the modem never answers.
  const auto readAnswerMs = [&object](const char* key, std::optional<std::int64_t>& ms) {
    if (const Json* v = object.Find(key)) {
      if (v->is_null()) {
        ms.reset();
      } else {
        ms = ReadMs(*v, object.PathOf(key));
      }
    }
  };
  readAnswerMs("command_ms", modem.commandMs);
  readAnswerMs("configuration_ms", modem.configurationMs);
  readAnswerMs("hysteresis_ms", modem.hysteresisMs);
  return modem;
}

FirmwareSpec ReadFirmware(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path, {"instance", "exec_ms"});
  FirmwareSpec firmware;
  if (const Json* v = object.Find("instance")) firmware.instance = ReadBool(*v, object.PathOf("instance"));
  if (const Json* v = object.Find("exec_ms")) firmware.execMs = ReadMs(*v, object.PathOf("exec_ms"));
  return firmware;
}

// "0x" and 1 to 8 hex digits, or an integer in the int32 or uint32 range; kept as the int32
// bit pattern.
std::int32_t ReadResultCode(const Json& value, const std::string& path) {
  constexpr const char* kExpected = "expected \"0x\" and 1 to 8 hex digits, or an integer, got ";
  if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    const bool wellFormed = text.size() >= 3 && text.size() <= 10 && text.compare(0, 2, "0x") == 0 &&
                            std::all_of(text.begin() + 2, text.end(), [](char c) { return HexDigit(c) >= 0; });
    if (!wellFormed) Fail(path, kExpected + Describe(value));
    std::uint32_t code = 0;
    for (std::size_t i = 2; i < text.size(); ++i) code = code * 16 + static_cast<std::uint32_t>(HexDigit(text[i]));
    return static_cast<std::int32_t>(code);
  }
  if (!value.is_number()) Fail(path, kExpected + Describe(value));
  const std::int64_t code = ReadInteger(value, path, kInt32Min, kUint32Max);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(code));
}

Fault ReadFault(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path, {"op", "hresult", "call"});
  Fault fault;
  fault.op = ReadString(object.Require("op"), object.PathOf("op"));
  if (!FaultTable::IsKnownOp(fault.op)) Fail(object.PathOf("op"), "unknown op " + Quoted(fault.op));

  const Json& hresult = object.Require("hresult");
  const std::string hresultPath = object.PathOf("hresult");
  if (fault.op == "WaitForTxEvent") {
    // The wait has no HRESULT: the fault names the wait result instead.
    if (hresult == "abandoned") {
      fault.hresult = kWaitAbandoned;
    } else if (hresult == "failed") {
      fault.hresult = kWaitFailed;
    } else {
      Fail(hresultPath, "expected \"abandoned\" or \"failed\" for WaitForTxEvent, got " + Describe(hresult));
    }
  } else {
    fault.hresult = ReadResultCode(hresult, hresultPath);
    if (fault.hresult == 0) Fail(hresultPath, "0 is success, not a fault");
    // Next fails also with WBEM's positive codes (WBEM_S_FALSE, WBEM_S_TIMEDOUT).
    if (fault.hresult > 0 && fault.op != "Next")
      Fail(hresultPath, Hex32(fault.hresult) + " is a success code, not a fault");
  }

  if (const Json* call = object.Find("call")) fault.call = ReadInteger(*call, object.PathOf("call"), 1, kInt64Max);
  return fault;
}

TimelineItem ReadTimelineItem(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path,
                            {"at_ms", "transmitting", "notify", "device_status", "sim_icc_id", "modem"});
  TimelineItem item;
  item.atMs = ReadMs(object.Require("at_ms"), object.PathOf("at_ms"));
  if (const Json* v = object.Find("transmitting")) item.transmitting = ReadBool(*v, object.PathOf("transmitting"));
  if (const Json* v = object.Find("notify")) item.notify = ReadBool(*v, object.PathOf("notify"));
  if (const Json* v = object.Find("device_status")) item.deviceStatus = ReadInt32(*v, object.PathOf("device_status"));
  if (const Json* v = object.Find("sim_icc_id")) item.simIccId = ReadUtf16(*v, object.PathOf("sim_icc_id"));
  if (const Json* v = object.Find("modem")) {
    if (*v != "removed") Fail(object.PathOf("modem"), "expected \"removed\", got " + Describe(*v));
    item.modemRemoved = true;
  }
  if (!item.transmitting && !item.notify && !item.deviceStatus && !item.simIccId && !item.modemRemoved)
    Fail(path, "has no effect; expected transmitting, notify, device_status, sim_icc_id or modem besides at_ms");
  return item;
}

Scenario ReadScenario(const Json& root) {
  const ObjectReader object(root, "", {"speed", "modem", "firmware", "faults", "timeline"});
  Scenario scenario;
  if (const Json* v = object.Find("speed")) scenario.speed = ReadSpeed(*v, "speed");
  if (const Json* v = object.Find("modem")) {
    if (v->is_null()) {
      scenario.modem.reset();  // a notebook without a mobile-broadband modem
    } else if (v->is_object()) {
      scenario.modem = ReadModem(*v, "modem");
    } else {
      Fail("modem", "expected an object or null, got " + Describe(*v));
    }
  }
  if (const Json* v = object.Find("firmware")) scenario.firmware = ReadFirmware(*v, "firmware");
  if (const Json* v = object.Find("faults")) {
    const Json& faults = ExpectArray(*v, "faults");
    for (std::size_t i = 0; i < faults.size(); ++i) scenario.faults.push_back(ReadFault(faults[i], Element("faults", i)));
  }
  if (const Json* v = object.Find("timeline")) {
    const Json& timeline = ExpectArray(*v, "timeline");
    for (std::size_t i = 0; i < timeline.size(); ++i)
      scenario.timeline.push_back(ReadTimelineItem(timeline[i], Element("timeline", i)));
    std::stable_sort(scenario.timeline.begin(), scenario.timeline.end(),
                     [](const TimelineItem& a, const TimelineItem& b) { return a.atMs < b.atMs; });
  }
  return scenario;
}

// Reads the text a second time, as a stream of parser events, for a key that appears twice in
// one object, which the JSON library would otherwise settle silently by keeping the last
// value. Remembers the first one's path. (The library's parse callback would do the same
// from one pass, but it walks the enclosing array at every object's end, which makes a long
// timeline cost the square of its length.)
class DuplicateKeyWatch final : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return Scalar(); }
  bool boolean(bool) override { return Scalar(); }
  bool number_integer(number_integer_t) override { return Scalar(); }
  bool number_unsigned(number_unsigned_t) override { return Scalar(); }
  bool number_float(number_float_t, const string_t&) override { return Scalar(); }
  bool string(string_t&) override { return Scalar(); }
  bool binary(binary_t&) override { return Scalar(); }
  bool start_object(std::size_t) override { return Open(true); }
  bool start_array(std::size_t) override { return Open(false); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& name) override {
    if (!frames_.empty()) {
      Frame& frame = frames_.back();
      frame.key = name;
      if (!frame.keys.insert(frame.key).second && !duplicate_) duplicate_ = CurrentPath();
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

  const std::optional<std::string>& duplicate() const { return duplicate_; }

 private:
  struct Frame {
    bool object;
    std::string key;         // in an object: the key being read
    std::size_t elements;    // in an array: the elements begun so far
    std::set<std::string> keys;
  };

  void CountElement() {
    if (!frames_.empty() && !frames_.back().object) ++frames_.back().elements;
  }
  bool Scalar() {
    CountElement();
    return true;
  }
  bool Open(bool object) {
    CountElement();
    frames_.push_back(Frame{object, {}, 0, {}});
    return true;
  }
  bool Close() {
    if (!frames_.empty()) frames_.pop_back();
    return true;
  }

  std::string CurrentPath() const {
    std::string path;
    for (const Frame& frame : frames_)
      path = frame.object ? Member(path, frame.key) : Element(path, frame.elements - 1);
    return path;
  }

  std::vector<Frame> frames_;
  std::optional<std::string> duplicate_;
};

// The JSON library's message, which quotes the input it stopped at in single quotes
// ("...; last read: '<token>'", "number overflow parsing '<token>'") and may go on with
// "; expected ...". That token can be any length and any bytes; it is shown as every input
// is. The library's own words around it are short.
std::string LibraryMessage(std::string_view message) {
  const std::size_t open = message.find('\'');
  if (open == std::string_view::npos) return EscapedInput(message);
  std::size_t close = message.find("'; expected ", open + 1);
  if (close == std::string_view::npos) close = message.rfind('\'');
  if (close == open) return EscapedInput(message.substr(0, open + 1)) + ShownInput(message.substr(open + 1));
  return EscapedInput(message.substr(0, open + 1)) + ShownInput(message.substr(open + 1, close - open - 1)) +
         EscapedInput(message.substr(close));
}

// A path in the document is made of pieces already shown short (two fit), but a duplicate
// key can lie as deep as the file nests; the end of the path names the key.
std::string ShownKeyPath(const std::string& path) { return ShownPath(path, 2 * kShownInputLimit); }

}  // namespace

std::vector<std::uint8_t> DefaultSarReply() {
  std::vector<std::uint8_t> reply;
  for (std::uint32_t word : {1u, 0u, 1u, 1u, 24u, 8u, 0u, 1u}) {
    for (int shift = 0; shift < 32; shift += 8) reply.push_back(static_cast<std::uint8_t>(word >> shift));
  }
  return reply;
}

Scenario ParseScenario(const std::string& jsonText, const std::string& sourceNameAsGiven) {
  const std::string sourceName = ShownPath(sourceNameAsGiven);
  Json root;
  DuplicateKeyWatch watch;
  try {
    root = Json::parse(jsonText);
    Json::sax_parse(jsonText, &watch);
  } catch (const Json::exception& error) {
    throw ScenarioError(sourceName + ": not valid JSON: " + LibraryMessage(error.what()));
  }
  if (!root.is_object()) throw ScenarioError(sourceName + ": (top level): expected an object");
  if (watch.duplicate()) throw ScenarioError(sourceName + ": " + ShownKeyPath(*watch.duplicate()) + ": duplicate key");
  try {
    return ReadScenario(root);
  } catch (const KeyError& error) {
    throw ScenarioError(sourceName + ": " + ShownKeyPath(error.path) + ": " + error.message);
  } catch (const Json::exception& error) {
    // Not expected: every access above checks the type first. Still never a library exception.
    throw ScenarioError(sourceName + ": " + LibraryMessage(error.what()));
  }
}

}  // namespace korvi::sim
