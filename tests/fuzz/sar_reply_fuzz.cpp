// Any bytes, of any length, as the modem's ResponseData to the SAR command. libFuzzer hands
// the bytes over in a buffer of exactly that size, so AddressSanitizer stops any read past the
// end. The parsed fields must be the little-endian words at their fixed places, with the
// bytes a short reply lacks read as 0. The report must be short lines of printable ASCII, no
// more of them than sixteen elements give, and must read back to the bytes:
// - the six header lines are the first six fields;
// - a reply under 32 bytes then shows the last two fields and ends;
// - a longer one shows each element that it counts, has a pair for, up to sixteen: the pair
//   (the first one's is in the header) and the two words at the offset it gives, or one line
//   where the entry is too short for them or does not lie within the reply;
// - one last line when elements went unshown: the count the reply has no room for, or how
//   many of them were shown.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cellular/sar_config_message.h"
#include "cellular/sar_reply_report.h"
#include "check.h"

namespace {

using korvi::fuzz::Require;
using namespace korvi::cellular;

constexpr std::string_view kHeaderLabels[] = {"SAR Mode: ", "SAR BackOff Status: ", "SAR Wifi Integration: ",
                                              "Element Count: ", "SAR Config Status Offset: ",
                                              "SAR Config Status Size: "};
constexpr std::size_t kSignedFields = 3;
constexpr std::size_t kFieldCount = 8;
// Six header lines, each element's four (the first one's pair is in the header), one note.
constexpr std::size_t kMostLines = 6 + 2 + (kMostReportedElements - 1) * 4 + 1;
constexpr std::size_t kLongestLine = 120;

// The four bytes at `at` as a little-endian word; absent bytes are 0.
std::uint32_t WordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t word = 0;
  for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k) word += static_cast<std::uint32_t>(bytes[at + k]) << (8 * k);
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

// The report's lines, read one at a time against what the bytes say they must be.
class ReportReader {
 public:
  explicit ReportReader(const std::string& report) {
    Require(!report.empty() && report[0] == '\n', "the report opens with a line break");
    std::size_t at = 1;
    while (true) {
      const std::size_t end = report.find('\n', at);
      lines_.push_back(report.substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    Require(lines_.size() <= kMostLines, "no more lines than sixteen elements give");
    for (const std::string& line : lines_) {
      Require(line.size() <= kLongestLine, "every line is short");
      for (const char c : line) Require(c >= ' ' && c <= '~', "the report is printable ASCII in lines");
    }
  }

  // A label and then the number, in plain decimal ("-" only before a negative signed value,
  // no leading zero).
  void Number(std::string_view label, std::uint32_t word, bool isSigned) {
    const std::string& line = Next();
    Require(line.compare(0, label.size(), label) == 0, "each label in its order");
    const std::string number = line.substr(std::min(label.size(), line.size()));
    const bool negative = !number.empty() && number[0] == '-';
    const std::string digits = number.substr(negative ? 1 : 0);
    Require(!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos, "a plain decimal number");
    Require(digits.size() == 1 || digits[0] != '0', "no leading zero");
    Require(!negative || (isSigned && digits != "0"), "a minus only before a negative signed field");
    const long long value = std::strtoll(number.c_str(), nullptr, 10);
    const long long expected = isSigned ? static_cast<long long>(static_cast<std::int32_t>(word)) : static_cast<long long>(word);
    Require(value == expected, "each number is its word");
  }

  void Line(const std::string& expected, const char* property) { Require(Next() == expected, property); }

  void End() const { Require(next_ == lines_.size(), "the report ends with its last element or note"); }

 private:
  const std::string& Next() {
    Require(next_ < lines_.size(), "no line is missing");
    return lines_[next_++];
  }

  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

void CheckEntry(ReportReader& reader, std::span<const std::uint8_t> bytes, std::uint32_t offset, std::uint32_t size) {
  if (size < 8) {
    reader.Line("SAR Antenna entry: too short for its two indexes", "an entry too short for its indexes is said to be");
  } else if (static_cast<std::uint64_t>(offset) + size > bytes.size()) {
    reader.Line("SAR Antenna entry: outside the " + std::to_string(bytes.size()) + "-byte reply",
                "an entry outside the reply is said to be");
  } else {
    reader.Number("SAR Antenna index: ", WordAt(bytes, offset), false);
    reader.Number("SAR Backoff index: ", WordAt(bytes, std::size_t{offset} + 4), false);
  }
}

void CheckReport(const std::string& report, std::span<const std::uint8_t> bytes, const SARConfigReply& reply) {
  ReportReader reader(report);
  for (std::size_t i = 0; i < std::size(kHeaderLabels); ++i) reader.Number(kHeaderLabels[i], Field(reply, i), i < kSignedFields);
  if (bytes.size() < kSarConfigReplySize) {
    reader.Number("SAR Antenna index: ", reply.antennaIndex, false);
    reader.Number("SAR Backoff index: ", reply.backOffIndex, false);
    reader.End();
    return;
  }
  const std::size_t room = (bytes.size() - 16) / 8;
  const std::size_t shown = std::min({std::size_t{reply.elementCount}, room, kMostReportedElements});
  for (std::size_t element = 0; element < shown; ++element) {
    const std::uint32_t offset = WordAt(bytes, 16 + 8 * element);
    const std::uint32_t size = WordAt(bytes, 20 + 8 * element);
    if (element > 0) {
      reader.Number("SAR Config Status Offset: ", offset, false);
      reader.Number("SAR Config Status Size: ", size, false);
    }
    CheckEntry(reader, bytes, offset, size);
  }
  if (reply.elementCount > room) {
    reader.Line("SAR Elements: " + std::to_string(reply.elementCount) + " counted, but the " +
                    std::to_string(bytes.size()) + "-byte reply has room for " + std::to_string(room),
                "a count the reply has no room for is said to be");
  } else if (reply.elementCount > shown) {
    reader.Line("SAR Elements: " + std::to_string(shown) + " shown of " + std::to_string(reply.elementCount),
                "elements not shown are counted");
  }
  reader.End();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> responseData(data, size);
  const SARConfigReply reply = ParseSARConfigReply(responseData);
  for (std::size_t i = 0; i < kFieldCount; ++i)
    Require(Field(reply, i) == WordAt(responseData, 4 * i), "each field is its little-endian word, missing bytes 0");
  CheckReport(RenderSARConfigReply(responseData), responseData, reply);
  return 0;
}
