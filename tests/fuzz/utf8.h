// The harnesses' own judge of UTF-8, written apart from the code under test.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvi::fuzz {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
inline bool IsUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, least = 0x10000;
    } else {
      return false;
    }
    if (at + length > text.size()) return false;
    char32_t code = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += length;
  }
  return true;
}

}  // namespace korvi::fuzz
