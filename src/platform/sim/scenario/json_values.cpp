#include "platform/sim/scenario/json_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/sim/files/shown_input.h"

namespace korvi::sim::scenario_json {

[[noreturn]] void Fail(const std::string& path, const std::string& message) { throw KeyError{path, message}; }

namespace {

// A key shown bare in a path: short, and only letters, digits and underscores.
bool IsPlainKey(std::string_view key) {
  return !key.empty() && key.size() <= kShownInputLimit && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

}  // namespace

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

namespace {

std::string RangeText(std::int64_t min, std::int64_t max) {
  if (max == kInt64Max) return "an integer >= " + std::to_string(min);
  return "an integer from " + std::to_string(min) + " to " + std::to_string(max);
}

}  // namespace
ObjectReader::ObjectReader(const Json& object, std::string path, std::initializer_list<std::string_view> known)
    : object_(object), path_(std::move(path)) {
  for (const auto& [key, value] : object_.items()) {
    if (std::find(known.begin(), known.end(), key) != known.end()) continue;
    std::string expected;
    for (std::string_view name : known) expected += (expected.empty() ? "" : ", ") + std::string(name);
    Fail(Member(path_, key), "unknown key; expected one of " + expected);
  }
}

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

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

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

}  // namespace korvi::sim::scenario_json
