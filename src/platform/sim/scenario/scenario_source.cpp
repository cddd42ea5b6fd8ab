#include "platform/sim/scenario/scenario_source.h"

#include <cstdio>
#include <string_view>

#include "default_scenario.h"
#include "platform/sim/files/shown_input.h"
#include "platform/sim/scenario/scenario_file.h"
#include "platform/sim/scenario/sha256.h"

namespace korvi::sim {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none
// (a stray continuation byte, a cut or overlong sequence, a surrogate, past U+10FFFF).
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// A JSON string of any bytes: UTF-8 as it is, a byte that is not UTF-8 read as Latin-1
// (\u00XX), as the supervisor's log writes its texts; the result is always valid JSON.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t take = 1;
    if (lead == '"' || lead == '\\') {
      out += '\\';
      out += static_cast<char>(lead);
    } else if (lead >= 0x20 && lead < 0x7F) {
      out += static_cast<char>(lead);
    } else if (const std::size_t length = lead >= 0x80 ? Utf8Length(text) : 0; length > 0) {
      out.append(text.substr(0, length));
      take = length;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", lead);
      out += escaped;
    }
    text.remove_prefix(take);
  }
  return out + "\"";
}

}  // namespace

LoadedScenario LoadScenario(const char* path) {
  if (path == nullptr) {
    return {ParseScenario(kDefaultScenario, "embedded default scenario"), {std::nullopt, Sha256Hex(kDefaultScenario)}};
  }
  if (*path == '\0') {
    throw ScenarioError("KORVI_SIM_SCENARIO: set but empty; name a scenario file, or unset it to run the embedded "
                        "default scenario");
  }
  const std::string text = ReadScenarioFile(path);
  return {ParseScenario(text, path), {std::string(path), Sha256Hex(text)}};
}

std::string ScenarioJson(const ScenarioSource& source) {
  const std::string hash = ",\"sha256\":\"" + source.sha256 + "\"}";
  return source.path ? "{\"path\":" + JsonString(*source.path) + hash : "{\"embedded\":true" + hash;
}

std::string ScenarioText(const ScenarioSource& source) {
  return (source.path ? EscapedInput(*source.path) : std::string("the embedded default")) + ", sha256 " +
         source.sha256;
}

}  // namespace korvi::sim
