// Reading a scenario file from disk, kept apart from parsing so that tests and the embedded
// default scenario parse text without touching the file system.
#pragma once

#include <cstddef>
#include <string>

namespace korvi::sim {

// The most a scenario file may hold: far beyond any real scenario, and a bound on what a
// wrong path (a device that never ends) can make the run read into memory.
inline constexpr std::size_t kMaxScenarioBytes = 16 * 1024 * 1024;

// The whole file as bytes. Only a regular file of at most kMaxScenarioBytes is read; a FIFO
// is refused rather than waited on. Throws ScenarioError
// "<path>: cannot read the file: <reason>".
std::string ReadScenarioFile(const std::string& path);

}  // namespace korvi::sim
