// What a harness does when a property fails: says which on stderr and aborts, so that
// libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace korvi::fuzz {

inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

}  // namespace korvi::fuzz
