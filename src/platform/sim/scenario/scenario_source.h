// Which scenario a run uses and where it came from. The trace's run record and stderr's
// summary name it, so that a trace or a summary can be checked against the scenario file
// with sha256sum: the hash is of the very bytes that were parsed.
#pragma once

#include <optional>
#include <string>

#include "platform/sim/scenario/scenario.h"

namespace korvi::sim {

struct ScenarioSource {
  std::optional<std::string> path;  // as KORVI_SIM_SCENARIO gave it; empty: the embedded default
  std::string sha256;               // 64 lower-case hex digits
};

struct LoadedScenario {
  Scenario scenario;
  ScenarioSource source;
};

// The scenario of a run: the file that `path` (KORVI_SIM_SCENARIO's value) names, or the
// embedded default when the variable is unset (null). Set but empty is refused rather than
// taken for unset: whoever set it meant a file, and a run of the default would pass for a run
// of that file. Throws ScenarioError, one line naming what and where.
LoadedScenario LoadScenario(const char* path);

// The run record's "scenario" member: {"path":"...","sha256":"..."}, or
// {"embedded":true,"sha256":"..."} for the embedded default.
std::string ScenarioJson(const ScenarioSource& source);

// What stderr's summary says of it, "scenarios/default.json, sha256 <hex>" or "the embedded
// default, sha256 <hex>"; the path is shown whole, every byte outside printable ASCII as \xNN.
std::string ScenarioText(const ScenarioSource& source);

}  // namespace korvi::sim
