// Reading one value of a scenario file: each reader checks the value's type and range and
// throws KeyError naming the value's path (for example "modem.device_status") and what was
// wrong, so that ParseScenario can add the file's name in one place.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace korvi::sim::scenario_json {

// ordered_json keeps the file's key order, so the first offending key in the file is the one
// reported.
using Json = nlohmann::ordered_json;

// In a paced run and on the real-time clock, a simulated duration becomes real time as
// ms / speed, then steady-clock nanoseconds in
// a 64-bit count; these bounds keep that (and the sums the simulator forms from it) far from
// overflow: 1e9 ms / 0.001 is 1e18 ns, below 9.2e18.
inline constexpr double kMinSpeed = 0.001;
inline constexpr double kMaxSpeed = 1000000.0;
inline constexpr std::int64_t kMaxMs = 1000000000;  // about 11.5 simulated days

inline constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

// Messages are composed without the source name; ParseScenario adds it in one place.
struct KeyError {
  std::string path;
  std::string message;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message);

// Quoted, printable ASCII only and cut when long: whatever the file holds, the message stays
// on one short printable line.
std::string Quoted(const std::string& text);
std::string Member(const std::string& objectPath, const std::string& key);
std::string Element(const std::string& arrayPath, std::size_t index);
// A value as an error message shows it; long strings are cut.
std::string Describe(const Json& value);
std::string Hex32(std::int32_t code);

// Walks one JSON object: a key it does not know is refused as soon as the reader is made.
class ObjectReader {
 public:
  ObjectReader(const Json& object, std::string path, std::initializer_list<std::string_view> known);

  std::string PathOf(std::string_view key) const { return Member(path_, std::string(key)); }

  const Json* Find(std::string_view key) const {
    auto found = object_.find(std::string(key));
    return found == object_.end() ? nullptr : &*found;
  }

  const Json& Require(std::string_view key) const {
    const Json* value = Find(key);
    if (value == nullptr) Fail(PathOf(key), "missing");
    return *value;
  }

 private:
  const Json& object_;
  std::string path_;
};

const Json& ExpectObject(const Json& value, const std::string& path);
const Json& ExpectArray(const Json& value, const std::string& path);
bool ReadBool(const Json& value, const std::string& path);
const std::string& ReadString(const Json& value, const std::string& path);
// An integer in [min, max]. A fraction, or a whole number the parser could only hold as a
// double (beyond 64 bits), is never rounded into range.
std::int64_t ReadInteger(const Json& value, const std::string& path, std::int64_t min, std::int64_t max);
std::int32_t ReadInt32(const Json& value, const std::string& path);
std::int64_t ReadMs(const Json& value, const std::string& path);
// UTF-8 to UTF-16, checked again rather than trusting the parser.
std::u16string ReadUtf16(const Json& value, const std::string& path);
std::vector<std::uint8_t> ReadHexBytes(const Json& value, const std::string& path);
double ReadSpeed(const Json& value, const std::string& path);
// "0x" and 1 to 8 hex digits, or an integer in the int32 or uint32 range; kept as the int32
// bit pattern.
std::int32_t ReadResultCode(const Json& value, const std::string& path);

}  // namespace korvi::sim::scenario_json
