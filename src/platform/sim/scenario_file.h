// Reading a scenario file from disk, kept apart from parsing so that tests and the embedded
// default scenario parse text without touching the file system.
#pragma once

#include <string>

namespace korvi::sim {

// The whole file as bytes. Throws ScenarioError "<path>: cannot read the file: <reason>".
std::string ReadScenarioFile(const std::string& path);

}  // namespace korvi::sim
