#include "cellular/sar_reply_report.h"

#include <algorithm>

#include "cellular/sar_config_message.h"

namespace korvi::cellular {
namespace {

// MBIM_MS_SAR_CONFIG: four header words, then one offset/size pair per element; each pair
// points at an entry whose first two words are the antenna index and the back-off index.
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kPairSize = 8;
constexpr std::size_t kEntryIndexesSize = 8;

// The caller has made sure that the four bytes at `at` lie in `data`.
std::uint32_t WordAt(std::span<const std::uint8_t> data, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t byte = 0; byte < 4; ++byte) value |= static_cast<std::uint32_t>(data[at + byte]) << (8 * byte);
  return value;
}

void AppendLine(std::string& text, const char* label, const std::string& value) {
  text += label;
  text += value;
}

void AppendIndexes(std::string& text, std::uint32_t antennaIndex, std::uint32_t backOffIndex) {
  AppendLine(text, "\nSAR Antenna index: ", std::to_string(antennaIndex));
  AppendLine(text, "\nSAR Backoff index: ", std::to_string(backOffIndex));
}

// The entry's two indexes, or one line saying why they cannot be read. The bound is tested
// without adding offset and size, which could wrap.
void AppendEntry(std::string& text, std::span<const std::uint8_t> data, std::uint32_t offset, std::uint32_t size) {
  if (size < kEntryIndexesSize) {
    text += "\nSAR Antenna entry: too short for its two indexes";
  } else if (offset > data.size() || size > data.size() - offset) {
    AppendLine(text, "\nSAR Antenna entry: outside the ", std::to_string(data.size()) + "-byte reply");
  } else {
    AppendIndexes(text, WordAt(data, offset), WordAt(data, offset + 4));
  }
}

}  // namespace

std::string RenderSARConfigReply(std::span<const std::uint8_t> responseData) {
  const SARConfigReply reply = ParseSARConfigReply(responseData);
  std::string text;
  AppendLine(text, "\nSAR Mode: ", std::to_string(reply.sarMode));
  AppendLine(text, "\nSAR BackOff Status: ", std::to_string(reply.backOffStatus));
  AppendLine(text, "\nSAR Wifi Integration: ", std::to_string(reply.wifiIntegration));
  AppendLine(text, "\nElement Count: ", std::to_string(reply.elementCount));
  AppendLine(text, "\nSAR Config Status Offset: ", std::to_string(reply.configStatusOffset));
  AppendLine(text, "\nSAR Config Status Size: ", std::to_string(reply.configStatusSize));
  if (responseData.size() < kSarConfigReplySize) {
    // InitSAR has already said that the missing words read as 0.
    AppendIndexes(text, reply.antennaIndex, reply.backOffIndex);
    return text;
  }

  const std::size_t pairsHeld = (responseData.size() - kHeaderSize) / kPairSize;
  const std::size_t shown = std::min({static_cast<std::size_t>(reply.elementCount), pairsHeld, kMostReportedElements});
  for (std::size_t element = 0; element < shown; ++element) {
    const std::size_t pairAt = kHeaderSize + element * kPairSize;
    const std::uint32_t offset = WordAt(responseData, pairAt);
    const std::uint32_t size = WordAt(responseData, pairAt + 4);
    if (element > 0) {  // the first pair is in the header lines already
      AppendLine(text, "\nSAR Config Status Offset: ", std::to_string(offset));
      AppendLine(text, "\nSAR Config Status Size: ", std::to_string(size));
    }
    AppendEntry(text, responseData, offset, size);
  }
  if (reply.elementCount > pairsHeld) {
    AppendLine(text, "\nSAR Elements: ",
               std::to_string(reply.elementCount) + " counted, but the " + std::to_string(responseData.size()) +
                   "-byte reply has room for " + std::to_string(pairsHeld));
  } else if (reply.elementCount > shown) {
    AppendLine(text, "\nSAR Elements: ", std::to_string(shown) + " shown of " + std::to_string(reply.elementCount));
  }
  return text;
}

}  // namespace korvi::cellular
