// Reads a scenario file into a Scenario. Strict on purpose: an unknown or repeated key, a
// wrong type or a number out of range is an error, so a typo never quietly becomes a default.
#include "platform/sim/scenario/scenario.h"

#include <algorithm>
#include <set>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/sim/files/shown_input.h"
#include "platform/sim/scenario/json_values.h"

namespace korvi::sim {
namespace {

using namespace scenario_json;

constexpr std::int32_t kWaitAbandoned = 0x80;
constexpr std::int32_t kWaitFailed = -1;  // 0xFFFFFFFF

ModemSetup ReadModem(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path,
                            {"device_status", "sim_icc_id", "command_session", "sar_status_code", "sar_reply",
                             "sar_manager", "command_ms", "configuration_ms", "hysteresis_ms",
                             "is_transmitting_ms"});
  ModemSetup modem;
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
  readAnswerMs("is_transmitting_ms", modem.isTransmittingMs);
  return modem;
}

FirmwareSetup ReadFirmware(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path, {"instance", "exec_ms"});
  FirmwareSetup firmware;
  if (const Json* v = object.Find("instance")) firmware.instance = ReadBool(*v, object.PathOf("instance"));
  if (const Json* v = object.Find("exec_ms")) firmware.execMs = ReadMs(*v, object.PathOf("exec_ms"));
  return firmware;
}

Fault ReadFault(const Json& value, const std::string& path) {
  const ObjectReader object(ExpectObject(value, path), path, {"op", "hresult", "call"});
  Fault fault;
  fault.op = ReadString(object.Require("op"), object.PathOf("op"));
  if (!FaultTable::IsKnownOp(fault.op)) Fail(object.PathOf("op"), "unknown op " + Quoted(fault.op) + "; expected one of " + FaultTable::KnownOps());

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
  const ObjectReader object(root, "", {"speed", "modem", "firmware", "faults", "timeline", "another_instance"});
  Scenario scenario;
  if (const Json* v = object.Find("another_instance")) scenario.anotherInstance = ReadBool(*v, "another_instance");
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
