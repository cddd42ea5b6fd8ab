// A modem reply written as the 32-bit words it holds, each little-endian: how the reply tests
// spell the bytes they feed the parser and the report.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace korvi::testing {

inline std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t w : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  return bytes;
}

}  // namespace korvi::testing
