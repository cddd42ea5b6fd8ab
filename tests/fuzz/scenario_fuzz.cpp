// Any bytes as the text of a scenario file. The reader either gives a scenario whose every
// value lies within the bounds that docs/scenarios.md documents, or throws a ScenarioError
// whose text is one line that starts with the file's name. Nothing else may escape, nothing may be read out
// of bounds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scenario/scenario.h"

namespace {

using korvi::fuzz::Require;
using namespace korvi::sim;

constexpr std::int64_t kMaxMs = 1000000000;
const std::string kSource = "fuzzed.json";

bool IsMs(std::int64_t ms) { return ms >= 0 && ms <= kMaxMs; }

// Every high surrogate followed by a low one, and no low one alone.
bool IsWellFormedUtf16(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

void CheckFault(const Fault& fault) {
  Require(FaultTable::IsKnownOp(fault.op), "a fault names a known op");
  Require(fault.hresult != 0, "a fault's code is not success");
  if (fault.op == "WaitForTxEvent") {
    Require(fault.hresult == 0x80 || fault.hresult == -1, "a wait fault is abandoned or failed");
  } else if (fault.op != "Next") {
    Require(fault.hresult < 0, "a fault's code is a failure code");
  }
  Require(!fault.call || *fault.call >= 1, "a fault's call counts from 1");
}

void CheckScenario(const Scenario& scenario) {
  Require(std::isfinite(scenario.speed) && scenario.speed >= 0.001 && scenario.speed <= 1000000.0,
          "speed within 0.001 to 1000000");
  if (scenario.modem) {
    Require(!scenario.modem->commandMs || IsMs(*scenario.modem->commandMs), "modem.command_ms within range");
    Require(!scenario.modem->isTransmittingMs || IsMs(*scenario.modem->isTransmittingMs),
            "modem.is_transmitting_ms within range");
    Require(IsWellFormedUtf16(scenario.modem->simIccId), "modem.sim_icc_id is well-formed UTF-16");
  }
  Require(IsMs(scenario.firmware.execMs), "firmware.exec_ms within range");
  for (const Fault& fault : scenario.faults) CheckFault(fault);
  for (std::size_t i = 0; i < scenario.timeline.size(); ++i) {
    const TimelineItem& item = scenario.timeline[i];
    Require(IsMs(item.atMs), "timeline at_ms within range");
    Require(i == 0 || scenario.timeline[i - 1].atMs <= item.atMs, "the timeline is sorted by at_ms");
    Require(item.transmitting || item.notify || item.deviceStatus || item.simIccId || item.modemRemoved,
            "every timeline item has an effect");
    Require(!item.simIccId || IsWellFormedUtf16(*item.simIccId), "timeline sim_icc_id is well-formed UTF-16");
  }
}

void CheckError(std::string_view text) {
  Require(text.substr(0, kSource.size() + 2) == kSource + ": ", "the error starts with the file's name");
  Require(text.size() > kSource.size() + 2, "the error says what is wrong");
  Require(text.find_first_of("\n\r") == std::string_view::npos, "the error is one line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    CheckScenario(ParseScenario(text, kSource));
  } catch (const ScenarioError& error) {
    CheckError(error.what());
  }
  return 0;
}
