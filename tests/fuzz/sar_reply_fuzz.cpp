// Any bytes, of any length, as the modem's ResponseData to the SAR command. libFuzzer hands
// the bytes over in a buffer of exactly that size, so AddressSanitizer stops any read past the
// end. The parsed fields must be the little-endian words at their fixed places, with the
// bytes a short reply lacks read as 0; the report rendered from them must be the eight
// labelled lines in plain ASCII, within the longest size eight 32-bit numbers can give, and
// must give the same eight numbers back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "cellular/sar_config_message.h"
#include "check.h"

namespace {

using korvi::fuzz::Require;
using namespace korvi::cellular;

constexpr std::string_view kLabels[] = {
    "\nSAR Mode: ", "\nSAR BackOff Status: ", "\nSAR Wifi Integration: ", "\nElement Count: ",
    "\nSAR Config Status Offset: ", "\nSAR Config Status Size: ", "\nSAR Antenna index: ", "\nSAR Backoff index: "};
constexpr std::size_t kSignedFields = 3;

// The longest report: every label, three signed fields at "-2147483648" and five unsigned
// ones at "4294967295".
constexpr std::size_t LongestReport() {
  std::size_t size = 0;
  for (std::string_view label : kLabels) size += label.size();
  return size + kSignedFields * 11 + (std::size(kLabels) - kSignedFields) * 10;
}

// Field i as the bytes give it: byte 4i + k is bit 8k of the field, absent bytes are 0.
std::uint32_t ExpectedWord(std::span<const std::uint8_t> bytes, std::size_t field) {
  std::uint32_t word = 0;
  for (std::size_t at = 4 * field; at < 4 * field + 4 && at < bytes.size(); ++at)
    word += static_cast<std::uint32_t>(bytes[at]) << (8 * (at % 4));
  return word;
}

std::uint32_t Field(const SARConfigReply& reply, std::size_t index) {
  switch (index) {
    case 0: return static_cast<std::uint32_t>(reply.sarMode);
    case 1: return static_cast<std::uint32_t>(reply.backOffStatus);
    case 2: return static_cast<std::uint32_t>(reply.wifiIntegration);
    case 3: return reply.elementCount;
    case 4: return reply.configStatusOffset;
    case 5: return reply.configStatusSize;
    case 6: return reply.antennaIndex;
    default: return reply.backOffIndex;
  }
}

// Reads the report back, label by label: each number in plain decimal ("-" only before a
// negative signed field, no leading zero), equal to its field.
void CheckReport(const std::string& report, const SARConfigReply& reply) {
  Require(report.size() <= LongestReport(), "the report stays within its longest size");
  for (const char c : report)
    Require(c == '\n' || (c >= ' ' && c <= '~'), "the report is printable ASCII in lines");
  std::size_t at = 0;
  for (std::size_t i = 0; i < std::size(kLabels); ++i) {
    Require(report.compare(at, kLabels[i].size(), kLabels[i]) == 0, "each label in its order");
    at += kLabels[i].size();
    const std::size_t end = report.find('\n', at);
    const std::string number = report.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at += number.size();
    const bool negative = !number.empty() && number[0] == '-';
    const std::string digits = number.substr(negative ? 1 : 0);
    Require(!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos, "a plain decimal number");
    Require(digits.size() == 1 || digits[0] != '0', "no leading zero");
    Require(!negative || (i < kSignedFields && digits != "0"), "a minus only before a negative signed field");
    const long long value = std::strtoll(number.c_str(), nullptr, 10);
    const std::uint32_t field = Field(reply, i);
    const long long expected = i < kSignedFields ? static_cast<long long>(static_cast<std::int32_t>(field))
                                                 : static_cast<long long>(field);
    Require(value == expected, "each number is its field");
  }
  Require(at == report.size(), "the report ends with the last digit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> responseData(data, size);
  const SARConfigReply reply = ParseSARConfigReply(responseData);
  for (std::size_t i = 0; i < std::size(kLabels); ++i)
    Require(Field(reply, i) == ExpectedWord(responseData, i), "each field is its little-endian word, missing bytes 0");
  CheckReport(RenderSARConfigReply(reply), reply);
  return 0;
}
